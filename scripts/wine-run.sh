#!/usr/bin/env bash
# Runs a Windows program of the cross build under 64-bit Wine, in the prefix $WINEPREFIX
# (ctest's emulator for the core's tests).
#   wine-run.sh PROGRAM.exe [ARGS...]   run it; its exit code is this script's
#   wine-run.sh --init                  make a fresh prefix (the first run takes ~15 s)
#   wine-run.sh --done                  stop the prefix's wineserver and remove the prefix
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the throwaway prefix}"
wine=${TAVOLEN_WINE:-/usr/lib/wine/wine64}
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
server=$(dirname "$wine")/wineserver
[ -x "$server" ] || server=$(command -v wineserver)
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
case ${1:-} in
  --init)
    "$server" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    "$wine" wineboot --init >/dev/null 2>&1
    "$server" -w  # the registry is written when the server ends
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wine-run.sh: wineboot made no prefix" >&2; exit 1; }
    ;;
  --done)
    "$server" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    ;;
  *)
    [ -d "$WINEPREFIX" ] || { echo "wine-run.sh: no prefix at $WINEPREFIX (run --init)" >&2; exit 2; }
    exec "$wine" "$@"
    ;;
esac
