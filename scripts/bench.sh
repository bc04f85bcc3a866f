#!/usr/bin/env bash
# Builds and runs the benchmark under Wine; it prints timings and ratios. Arguments name the
# groups of figures to run (switch_on memory add_loop redraw_off_batch repaint scroll_step
# unrepeated skin_count);
# none runs them all.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
source scripts/wine-env.sh 32
cd build/bin
xvfb-run -a -s "-screen 0 1280x1024x24" wine bench.exe "$@"
