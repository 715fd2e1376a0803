#!/usr/bin/env bash
# A picture of JV-Link's update question "新しいバージョン(5.0.0)が存在します。ダウンロードしますか？" as
# the 32-bit bridge shows it inside JVOpen: a prefix made by scripts/jvlink-prefix.sh, the COM
# stand-in of the 32-bit build registered in it as JV-Link 4.x is, its update box switched on,
# the bridge given JVInit and JVOpen as the program gives them, on a virtual X display.
#   screenshot-update-box.sh BUILD-WIN32 OUT.png
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
win32=$1
png=$2
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
"$root/scripts/jvlink-prefix.sh" "$WINEPREFIX" >/dev/null
dll=$(winepath -w "$win32/standin/tavolen-jvlink-standin.dll" 2>/dev/null)
env -u DISPLAY wine regsvr32 /s "$dll"
# The server ends before the bridge starts: its desktop keeps the display it started with.
wineserver -w
mkdir -p "$work/standin"
echo "update box 60" >"$work/standin/traits.txt"

# The program's calls as frames of the bridge's protocol (jvbridge/README.md).
le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))\\x00\\x00"; }
text() { le32 ${#1}; printf '%s' "$1" | iconv -f ASCII -t UTF-16LE; }
call() {
  "$@" >"$work/payload"
  printf 'TVBC'
  le32 "$(stat -c %s "$work/payload")"
  cat "$work/payload"
}
jvinit() { le32 1; text UNKNOWN; }
jvopen() { le32 4; text RACE; text "$(date -d '8 days ago' +%Y%m%d)000000"; le32 2; }
{ call jvinit; call jvopen; } >"$work/calls"

cat >"$work/show.sh" <<'SHOW'
#!/usr/bin/env bash
set -euo pipefail
work=$1
png=$2
bridge=$3
# The calls, then the input kept open while the box waits (until the picture is taken).
{
  cat "$work/calls"
  for _ in $(seq 120); do [ -e "$work/taken" ] && break; sleep 1; done
} 2>/dev/null |
  LC_ALL=ja_JP.UTF-8 TAVOLEN_STANDIN_FOLDER="$(winepath -w "$work/standin")" \
    wine "$bridge" >"$work/answers" 2>"$work/bridge.log" &
for _ in $(seq 60); do
  id=$(xwininfo -root -tree 2>/dev/null | sed -n 's/^ *\(0x[0-9a-f]*\) "JV-Link".*/\1/p' | head -1)
  [ -n "$id" ] && break
  sleep 1
done
[ -n "${id:-}" ] || { echo "screenshot-update-box: the box did not appear" >&2; cat "$work/bridge.log" >&2; exit 1; }
sleep 2  # drawn
import -window "$id" "$png"
touch "$work/taken"
wineserver -k 2>/dev/null || true  # the bridge and its box end with the display
SHOW
chmod +x "$work/show.sh"
xvfb-run -a -s "-screen 0 1024x768x24" "$work/show.sh" "$work" "$png" \
  "$win32/jvbridge/tavolen-jvlink-bridge32.exe"
