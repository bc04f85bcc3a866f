#!/usr/bin/env bash
# The main job: installs what is missing, builds everything, then loads kslHook.dll into a small
# host window under Wine, checks its exports and resources, skins a list and saves a screenshot.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
source scripts/wine-env.sh
cd build/bin
xvfb-run -a -s "-screen 0 1280x1024x24" wine host_tests.exe \
  --gtest_filter='ExportTable.*:Resources.*:Lifecycle.OnOff*:Screenshot.*'
echo "screenshot of a skinned list: $(pwd)/artifacts/skinned_list.png"
