#!/usr/bin/env bash
# The test command: installs what is missing, builds both architectures, and runs every test under
# Wine, the 32-bit suite in the 32-bit prefix and the 64-bit suite in the 64-bit one. The two run
# side by side, each on a private Xvfb of its own with a Wine of its own (the tests spend most of
# their time waiting for the window system), and report one after the other. The exit status says
# whether both passed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
run_suite() {
  local bits=$1 tree=build
  [ "$bits" = 64 ] && tree=build64
  (
    source scripts/wine-env.sh "$bits"
    start=$SECONDS
    status=0
    xvfb-run -a -s "-screen 0 1280x1024x24" \
      ctest --test-dir "$tree" --output-on-failure --timeout 600 || status=1
    echo "== the ${bits}-bit suite took $((SECONDS - start)) s"
    exit $status
  ) > "$logs/$bits.log" 2>&1
}
run_suite 32 & pid32=$!
# xvfb-run -a picks a free display: the second one starts once the first has taken its own.
sleep 3
run_suite 64 & pid64=$!
status=0
wait $pid32 || status=1
wait $pid64 || status=1
for bits in 32 64; do
  echo "== the ${bits}-bit suite"
  cat "$logs/$bits.log"
done
exit $status
