#!/usr/bin/env bash
# The test command: installs what is missing, builds, and runs every test under Wine on a private
# Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
source scripts/wine-env.sh
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir build --output-on-failure --timeout 600
