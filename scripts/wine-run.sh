#!/usr/bin/env bash
# Runs a Windows program of the cross build under 64-bit Wine, in the prefix $WINEPREFIX
# (ctest's emulator for the tests of the cross builds).
#   wine-run.sh PROGRAM.exe [ARGS...]   run it; its exit code is this script's
# TAVOLEN_WINE_DLLPATH (folders separated by ':') puts the folders of DLLs a program loads (Qt's,
# the compiler's run-time) on Wine's search path.
#   wine-run.sh --display PROGRAM.exe [ARGS...]
#                                       run it on the X display $DISPLAY (windows shown)
#   wine-run.sh --init                  make a fresh prefix (the first run takes ~15 s)
#   wine-run.sh --japanese-fonts        map the Japanese Windows fonts ("ＭＳ ゴシック", "MS UI
#                                       Gothic"...) to IPAGothic in the prefix
#   wine-run.sh --wait                  wait until the prefix's programs have ended (an
#                                       uninstaller that goes on in a copy of itself)
#   wine-run.sh --stop                  stop the prefix's programs and wineserver
#   wine-run.sh --done                  stop the prefix's wineserver and remove the prefix
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the throwaway prefix}"
wine=${TAVOLEN_WINE:-/usr/lib/wine/wine64}
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
server=$(dirname "$wine")/wineserver
[ -x "$server" ] || server=$(command -v wineserver)
display=
if [ "${1:-}" = "--display" ]; then
  display=${DISPLAY:-}
  shift
fi
# Without Mono, Gecko and the menu builder: a program's shortcuts stay inside the prefix instead
# of becoming menu entries and icons in the real home folder.
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" DISPLAY=$display
if [ -n "${TAVOLEN_WINE_DLLPATH:-}" ]; then
  winepath=""
  IFS=: read -ra dirs <<<"$TAVOLEN_WINE_DLLPATH"
  for d in "${dirs[@]}"; do winepath+="${winepath:+;}Z:${d//\//\\}"; done
  export WINEPATH="$winepath"
fi
case ${1:-} in
  --init)
    "$server" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    "$wine" wineboot --init >/dev/null 2>&1
    "$server" -w  # the registry is written when the server ends
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wine-run.sh: wineboot made no prefix" >&2; exit 1; }
    # Wine links the profile's Desktop, Documents... to the real home folder; a throwaway prefix
    # gets folders of its own, so that what a program puts there stays in the prefix.
    find "$WINEPREFIX/drive_c/users" -mindepth 2 -maxdepth 2 -type l | while IFS= read -r link; do
      rm "$link" && mkdir "$link"
    done
    ;;
  --japanese-fonts)
    [ -d "$WINEPREFIX" ] || { echo "wine-run.sh: no prefix at $WINEPREFIX (run --init)" >&2; exit 2; }
    reg=$WINEPREFIX/drive_c/japanese-fonts.reg
    {
      printf 'Windows Registry Editor Version 5.00\r\n\r\n'
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
      for font in "MS Gothic" "MS PGothic" "MS UI Gothic" "MS Mincho" "ＭＳ ゴシック" \
        "ＭＳ Ｐゴシック" "ＭＳ 明朝" "Meiryo" "メイリオ" "Yu Gothic" "Yu Gothic UI"; do
        printf '"%s"="IPAGothic"\r\n' "$font"
      done
    } | { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$reg"  # UTF-16 with its mark
    "$wine" regedit /S 'C:\japanese-fonts.reg' >/dev/null 2>&1
    "$server" -w
    ;;
  --wait)
    "$server" -w 2>/dev/null || true
    ;;
  --stop)
    "$server" -k 2>/dev/null || true
    "$server" -w 2>/dev/null || true
    ;;
  --done)
    "$server" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    ;;
  *)
    [ -d "$WINEPREFIX" ] || { echo "wine-run.sh: no prefix at $WINEPREFIX (run --init)" >&2; exit 2; }
    # Wine leaves the QT_ variables out of the program's environment: the test support takes
    # these two back from their TAVOLEN_ names.
    for v in QT_QPA_PLATFORM QT_QPA_FONTDIR; do
      [ -z "${!v:-}" ] || export "TAVOLEN_$v=${!v}"
    done
    exec "$wine" "$@"
    ;;
esac
