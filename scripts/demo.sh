#!/usr/bin/env bash
# The main job: installs what is missing, builds everything, then plays the demo host's tour under
# Wine on a private Xvfb display: a host window with a list of 300 rows is skinned, clicked,
# scrolled, given a picture and colours, and unskinned, with a PNG of the window at each step.
#
#   bash scripts/demo.sh                 the tour; pictures in build/demo-tour/
#   bash scripts/demo.sh --interactive   the demo host on your own display ($DISPLAY), to try by hand
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-tour}
case "$mode" in
  tour|--tour) ;;
  --interactive)
    if [ -z "${DISPLAY:-}" ]; then
      echo "demo: --interactive needs a display (DISPLAY is not set)" >&2
      exit 2
    fi ;;
  *) echo "usage: bash scripts/demo.sh [--interactive]" >&2; exit 2 ;;
esac

bash scripts/build.sh
source scripts/wine-env.sh 32

if [ "$mode" = --interactive ]; then
  exec wine build/bin/kslhook_demo.exe
fi

rm -rf build/demo-tour
echo
echo "The demo host's tour: what the user does, then what the host's status line showed (its list box's"
echo "notifications and its own calls into kslHook)."
cd build
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" wine bin/kslhook_demo.exe --tour demo-tour \
  2> >(grep -v '^X connection to' >&2) || status=$?
echo
echo "Pictures of the host window at each step: $(pwd)/demo-tour/"
exit $status
