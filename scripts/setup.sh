#!/usr/bin/env bash
# Installs what building and running kslHook needs on a Debian 12 machine, and nothing when it is
# all there already: the i386 architecture, Wine with its 32-bit half, the posix-threaded i686
# mingw-w64 compiler, Xvfb, CMake, and for the kit's Visual C++ import library and its test host
# clang, lld (lld-link), llvm (llvm-dlltool) and Wine's Windows headers. Run as root.
set -euo pipefail

need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686)
command -v wine >/dev/null || need+=(wine)
dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
command -v xvfb-run >/dev/null || need+=(xvfb)
command -v xauth >/dev/null || need+=(xauth)
command -v cmake >/dev/null || need+=(cmake)
[ -d /usr/src/googletest ] || need+=(googletest)
command -v clang >/dev/null || need+=(clang)
command -v lld-link >/dev/null || need+=(lld)
command -v llvm-dlltool >/dev/null || need+=(llvm)
# Wine's Windows SDK headers; the 32-bit package, because wine32 already brings its libwine.
[ -f /usr/include/wine/wine/windows/windows.h ] || need+=(libwine-dev:i386)

if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# The project's own Wine prefix, made once, quietly, without asking for Mono or Gecko.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/wine-env.sh"
if [ ! -f "$WINEPREFIX/.kslhook-ready" ]; then
  echo "setup: creating the Wine prefix in $WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  # Xvfb has no window manager: Wine would wait two seconds for one on every window it unmaps.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w || true
  touch "$WINEPREFIX/.kslhook-ready"
fi
