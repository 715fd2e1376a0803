#!/usr/bin/env bash
# The README's Linux steps for the real JV-Link, run as written with the COM stand-in's
# registration in place of JV-Link's installer: a prefix made by scripts/jvlink-prefix.sh (no
# display, its 32-bit system folder, the Japanese fonts mapped), then a component registered as
# JV-Link 5.0.0 is (64-bit only) and one as JV-Link 4.x is (32-bit only), each created by the
# bridge of its bitness and seen by the other bridge in the other registry view.
#   jvlink-prefix-check.sh [BUILD-WIN64 BUILD-WIN32]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
win64=${1:-$root/build-win64}
win32=${2:-$root/build-win32}
work=$(mktemp -d)
fail() {
  echo "jvlink-prefix-check: $*" >&2
  exit 1
}
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for bits in 64 32; do
  other=$((96 - bits))
  build=$win64
  [ "$bits" = 32 ] && build=$win32
  otherBuild=$win32
  [ "$bits" = 32 ] && otherBuild=$win64
  export WINEPREFIX=$work/prefix$bits
  "$root/scripts/jvlink-prefix.sh" "$WINEPREFIX" >"$work/made.log" || {
    cat "$work/made.log" >&2
    fail "the prefix was not made"
  }
  [ -d "$WINEPREFIX/drive_c/windows/syswow64" ] || fail "no syswow64 in the prefix"
  grep -q '^"MS UI Gothic"="IPAGothic"' "$WINEPREFIX/user.reg" || fail "the fonts are not mapped"
  env -u DISPLAY WINEDEBUG=-all wine regsvr32 /s \
    "$(winepath -w "$build/standin/tavolen-jvlink-standin.dll" 2>/dev/null)"
  described=$(env -u DISPLAY LC_ALL=ja_JP.UTF-8 WINEDEBUG=-all \
    wine "$build/jvbridge/tavolen-jvlink-bridge$bits.exe" --describe 2>&1 || true)
  grep -q "$bits-bit, code page 932, locale ja-JP, JVDTLab.JVLink created, registered $bits-bit\$" \
    <<<"$described" || fail "the $bits-bit bridge did not create the $bits-bit component: $described"
  grep -q "JVRead(\[in, by reference\] BSTR\* buff" <<<"$described" || fail "no JVRead described"
  seen=$(env -u DISPLAY LC_ALL=ja_JP.UTF-8 WINEDEBUG=-all \
    wine "$otherBuild/jvbridge/tavolen-jvlink-bridge$other.exe" --describe 2>&1 || true)
  grep -q "$other-bit, .*registered $bits-bit\$" <<<"$seen" ||
    fail "the $other-bit bridge did not see the $bits-bit registration: $seen"
  wineserver -k 2>/dev/null || true
  echo "jvlink-prefix-check: a $bits-bit component in a prefix of tavolen-jvlink-prefix: ok"
done
