#!/usr/bin/env bash
# The README's Linux steps for the real JV-Link, run as written with the COM stand-in's
# registration in place of JV-Link's installer: a prefix made by scripts/jvlink-prefix.sh (no
# display, its 32-bit system folder, the Japanese fonts mapped), then a component registered as
# JV-Link 5.0.0 is (64-bit only) and one as JV-Link 4.x is (32-bit only), each created by the
# bridge of its bitness and seen by the other bridge in the other registry view. Then, on the
# 64-bit prefix: the command run again keeps every file of it, and its check reports JV-Link's
# service, with a small stand-in service registered in its place (Wine's sc).
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
bitnesses="64 32"
if [ -n "${TAVOLEN_WINE32_OPTIONAL:-}" ]; then
  bitnesses=64
  echo "jvlink-prefix-check: no 32-bit Wine: the 32-bit component is not checked" >&2
fi
for bits in $bitnesses; do
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
  grep -q "$bits-bit, code page 932, locale ja-JP, JVDTLab.JVLink created, .*registered $bits-bit\$" \
    <<<"$described" || fail "the $bits-bit bridge did not create the $bits-bit component: $described"
  grep -q "JVRead(\[in, by reference\] BSTR\* buff" <<<"$described" || fail "no JVRead described"
  if [ "$other" = 64 ] || [ -z "${TAVOLEN_WINE32_OPTIONAL:-}" ]; then
    seen=$(env -u DISPLAY LC_ALL=ja_JP.UTF-8 WINEDEBUG=-all \
      wine "$otherBuild/jvbridge/tavolen-jvlink-bridge$other.exe" --describe 2>&1 || true)
    grep -q "$other-bit, .*registered $bits-bit\$" <<<"$seen" ||
      fail "the $other-bit bridge did not see the $bits-bit registration: $seen"
  fi
  wineserver -k 2>/dev/null || true
  echo "jvlink-prefix-check: a $bits-bit component in a prefix of tavolen-jvlink-prefix: ok"
done

# An existing prefix is never removed or made again: every file stays, byte for byte, with
# the machine's identity JV-Link keeps in it (here a file and a registry value standing in).
export WINEPREFIX=$work/prefix64
mkdir -p "$WINEPREFIX/drive_c/ProgramData/JRA-VAN"
echo "device 1234" >"$WINEPREFIX/drive_c/ProgramData/JRA-VAN/identity.txt"
env -u DISPLAY WINEDEBUG=-all wine reg add 'HKLM\Software\TavolenCheck' /v Device /d 1234 /f >/dev/null 2>&1
wineserver -w
snapshot() { (cd "$WINEPREFIX" && find . -type f ! -name '*.reg' -print0 | sort -z | xargs -0 sha256sum); }
before=$(snapshot)
again=$("$root/scripts/jvlink-prefix.sh" "$WINEPREFIX" 2>&1) || fail "run again: $again"
grep -q "exists and is kept" <<<"$again" || fail "the existing prefix was not named as kept: $again"
[ "$(snapshot)" = "$before" ] || fail "running the command again changed the prefix's files"
env -u DISPLAY WINEDEBUG=-all wine reg query 'HKLM\Software\TavolenCheck' /v Device 2>/dev/null |
  grep -q 1234 || fail "the registry lost what it held"
echo "jvlink-prefix-check: the command run again keeps every file of the prefix: ok"

# The check of JV-Link's service: JV-Link (the COM stand-in) is installed but the service is
# missing, then registered (a stand-in), then started as the check says.
service=$(cd "$win64/standin" && pwd)/tavolen-service-standin.exe
service="Z:${service//\//\\}" # Wine's drive Z: is the root folder
checked=$("$root/scripts/jvlink-prefix.sh" --check "$WINEPREFIX" 2>&1) &&
  fail "a JV-Link without its service passed the check: $checked"
grep -q "JVLink64Agent for JV-Link 5.0.0, JVLinkAgent before it) is not registered" <<<"$checked" ||
  fail "the missing service was not reported: $checked"
env -u DISPLAY WINEDEBUG=-all wine sc create JVLink64Agent binpath= "$service JVLink64Agent" \
  start= demand >/dev/null 2>&1 || fail "the stand-in service could not be registered"
checked=$("$root/scripts/jvlink-prefix.sh" --check "$WINEPREFIX" 2>&1) ||
  fail "the check failed with the service registered: $checked"
grep -q "service JVLink64Agent is registered (started on demand), now STOPPED" <<<"$checked" ||
  fail "the registered service was not reported: $checked"
start=$(sed -n 's/.*to start it by hand: //p' <<<"$checked")
[ -n "$start" ] || fail "the check did not say how to start the service: $checked"
# Wine ends a prefix's services with its last program, so the start is seen in its own answer.
started=$(env -u DISPLAY WINEDEBUG=-all bash -c "$start" 2>&1) || fail "'$start' failed: $started"
grep -q "STATE *: *4 *RUNNING" <<<"$started" || fail "'$start' did not start it: $started"
env -u DISPLAY WINEDEBUG=-all wine sc stop JVLink64Agent >/dev/null 2>&1 || true
wineserver -k 2>/dev/null || true
echo "jvlink-prefix-check: the check reports JV-Link's service and how to start it: ok"

# Whether the prefix runs 32-bit programs. Without 32-bit Wine, or on a machine that refuses
# 32-bit programs, Wine leaves the 32-bit system folder empty: the prefix still serves JV-Link
# 5.0.0, and only a JV-Link registered as 32-bit alone is a problem, said with what to do.
if [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
  grep -q "the prefix runs 32-bit programs" <<<"$checked" ||
    fail "a prefix with 32-bit Wine was not reported as running 32-bit programs: $checked"
else
  grep -q "runs no 32-bit programs .*JV-Link 5.0.0 (64-bit) can be used" <<<"$checked" ||
    fail "a prefix without 32-bit Wine was not reported as such: $checked"
  env -u DISPLAY WINEDEBUG=-all wine regsvr32 /s /u \
    "$(winepath -w "$win64/standin/tavolen-jvlink-standin.dll" 2>/dev/null)"
  env -u DISPLAY WINEDEBUG=-all wine reg add 'HKLM\Software\Classes\JVDTLab.JVLink\CLSID' /ve \
    /d '{2AB1774D-0C41-11D7-916F-0003479BEB3F}' /f /reg:32 >/dev/null 2>&1 ||
    fail "the 32-bit registration could not be written"
  checked=$("$root/scripts/jvlink-prefix.sh" --check "$WINEPREFIX" 2>&1) &&
    fail "a 32-bit JV-Link in a prefix without 32-bit Wine passed the check: $checked"
  grep -q "registered as a 32-bit component .*wine32:i386, then WINEPREFIX=.* wine wineboot --update" \
    <<<"$checked" || fail "the 32-bit JV-Link without 32-bit Wine was not reported: $checked"
  wineserver -k 2>/dev/null || true
fi
echo "jvlink-prefix-check: the check says whether the prefix runs 32-bit JV-Link: ok"
