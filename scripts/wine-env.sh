# Sourced by the project's scripts: a Wine of our own that stays quiet.
export WINEPREFIX="${KSLHOOK_WINEPREFIX:-$HOME/.wine-kslhook}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
