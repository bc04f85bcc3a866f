#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine; they print timings and ratios.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
source scripts/wine-env.sh
cd build/bin
xvfb-run -a -s "-screen 0 1280x1024x24" wine bench.exe
