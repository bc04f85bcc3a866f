#!/usr/bin/env bash
# Installs what building and running kslHook needs on a Debian 12 machine, and nothing when it is
# all there already: the i386 architecture, Wine with its 32-bit and 64-bit halves, the
# posix-threaded i686 and x86-64 mingw-w64 compilers, Xvfb, CMake, the font Wine draws caption buttons with, a font with Chinese
# and Japanese glyphs, and, for the kit's Visual C++ import library and its test host, clang, lld
# (lld-link), llvm (llvm-dlltool) and Wine's Windows headers. Run as root.
set -euo pipefail

# Wine's own Marlett: the glyphs of the minimise, maximise and close buttons in every caption.
marlett=/usr/share/wine/fonts/marlett.ttf
need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
command -v wine >/dev/null || need+=(wine)
dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine32:i386)
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)
[ -f "$marlett" ] || need+=(fonts-wine)
# A font with Chinese and Japanese glyphs, which Wine finds through fontconfig: without one, such
# texts in a Unicode host's list show as empty boxes.
[ -f /usr/share/fonts/truetype/wqy/wqy-microhei.ttc ] || need+=(fonts-wqy-microhei)
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

# The project's own Wine prefixes, made once, quietly, without asking for Mono or Gecko: a 32-bit
# one for the 32-bit programs, as before, and a 64-bit one (which cannot be a 32-bit prefix's) for
# the 64-bit ones.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
for bits in 32 64; do
  source "$here/wine-env.sh" "$bits"
  if [ ! -f "$WINEPREFIX/.kslhook-ready" ]; then
    echo "setup: creating the ${bits}-bit Wine prefix in $WINEPREFIX"
    WINEARCH=win$bits wineboot -i >/dev/null 2>&1 || true
    # Xvfb has no window manager: Wine would wait two seconds for one on every window it unmaps.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w || true
    touch "$WINEPREFIX/.kslhook-ready"
  fi

  # Wine draws caption buttons as Marlett glyphs; without the font they come out as the letters
  # "0 1 r". This Wine reads fonts from the prefix's C:\windows\Fonts and fontconfig's folders
  # only, not from /usr/share/wine/fonts where fonts-wine puts them, and wineboot does not copy them
  # (not even into a prefix made after fonts-wine was installed): each prefix gets its own copy,
  # also a prefix made before this step existed.
  fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ ! -f "$fonts/marlett.ttf" ]; then
    echo "setup: giving the ${bits}-bit Wine prefix the Marlett font"
    mkdir -p "$fonts"
    cp "$marlett" "$fonts/"
  fi
done
