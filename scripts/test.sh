#!/usr/bin/env bash
# The test command: installs what is missing, builds both architectures, and runs every test under
# Wine on a private Xvfb display: the 32-bit suite in the 32-bit prefix, then the 64-bit suite in
# the 64-bit one. Both run even when the first fails; the exit status says whether both passed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
status=0
for bits in 32 64; do
  tree=build; [ "$bits" = 64 ] && tree=build64
  echo "== the ${bits}-bit suite ($tree/)"
  source scripts/wine-env.sh "$bits"
  start=$SECONDS
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --test-dir "$tree" --output-on-failure --timeout 600 || status=1
  echo "== the ${bits}-bit suite took $((SECONDS - start)) s"
done
exit $status
