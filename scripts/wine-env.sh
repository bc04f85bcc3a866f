# Sourced by the project's scripts: a Wine of our own that stays quiet. An argument of 64 chooses
# the 64-bit prefix, which the 64-bit programs need; without one (or with 32), the 32-bit prefix.
if [ "${1:-32}" = 64 ]; then
  export WINEPREFIX="${KSLHOOK_WINEPREFIX64:-$HOME/.wine-kslhook64}"
else
  export WINEPREFIX="${KSLHOOK_WINEPREFIX:-$HOME/.wine-kslhook}"
fi
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
