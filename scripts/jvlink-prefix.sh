#!/usr/bin/env bash
# Makes a Wine prefix ready for JV-Link and checks it (installed as tavolen-jvlink-prefix):
#   tavolen-jvlink-prefix PREFIX           makes the prefix if it does not exist, then checks it
#   tavolen-jvlink-prefix --check PREFIX   only checks an existing prefix
# - a new prefix is a WoW64 prefix made without a display (a prefix made with a display visible
#   has been reported to come out without its 32-bit system folder, which JV-Link before 5.0.0
#   needs); Wine fills that folder only where its 32-bit part runs (wine32 installed, and a
#   machine that runs 32-bit programs), so a prefix without it still serves JV-Link 5.0.0;
# - an existing prefix is never removed or made again: JV-Link's service ties the service key
#   to the machine's identity kept in the prefix, and a prefix made anew or copied is another
#   PC to it, whose key must be issued again;
# - the Japanese Windows fonts mapped to IPAGothic under
#   HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements (written only when missing), so that
#   JV-Link's windows are readable;
# - the check: the 32-bit folder, the fonts, the locale the bridge runs in (ja_JP.UTF-8), whether
#   JV-Link is installed, and once it is, whether its service is registered (JVLink64Agent for
#   5.0.0, JVLinkAgent before it), its state and how to start it; whether the prefix runs
#   32-bit programs, which is a problem only for a JV-Link registered as 32-bit only.
# WINE names the Wine command (default wine).
set -euo pipefail
check_only=no
if [ "${1:-}" = "--check" ]; then
  check_only=yes
  shift
fi
prefix=${1:-}
if [ -z "$prefix" ] || [ $# -ne 1 ]; then
  echo "usage: tavolen-jvlink-prefix [--check] PREFIX" >&2
  exit 64
fi
wine=${WINE:-wine}
say() { echo "tavolen-jvlink-prefix: $*"; }
fail() {
  echo "tavolen-jvlink-prefix: $*" >&2
  exit 1
}
command -v "$wine" >/dev/null ||
  fail "no Wine ('$wine'): sudo apt-get install wine wine64 wine32:i386"
case $prefix in /*) ;; *) prefix=$PWD/$prefix ;; esac
existing=no
if [ -f "$prefix/system.reg" ]; then
  existing=yes
elif [ -e "$prefix" ] && [ -n "$(ls -A "$prefix")" ]; then
  fail "$prefix exists and is no Wine prefix"
elif [ $check_only = yes ]; then
  fail "$prefix is no Wine prefix yet: tavolen-jvlink-prefix $prefix makes it"
fi
server=$(dirname "$(command -v "$wine")")/wineserver
[ -x "$server" ] || server=wineserver
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEARCH
# Without a display: no X or Wayland display reaches wineboot or the server it starts.
quiet() { env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C.UTF-8 "$@"; }
if [ $existing = no ]; then
  "$server" -k 2>/dev/null || true
  quiet "$wine" wineboot --init >/dev/null 2>&1 || fail "wineboot failed in $prefix"
  say "$prefix made"
else
  say "$prefix exists and is kept as it is (it is never removed or made again)"
fi
if [ $check_only = no ] && ! grep -q '^"MS UI Gothic"="IPAGothic"' "$prefix/user.reg" 2>/dev/null; then
  for name in "MS Gothic" "MS UI Gothic" "MS PGothic" "ＭＳ ゴシック" "ＭＳ Ｐゴシック"; do
    quiet "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$name" /t REG_SZ \
      /d IPAGothic /f >/dev/null 2>&1 || fail "the font replacement of $name could not be written"
  done
  "$server" -w # the registry is written to the prefix when its server ends
  say "the Japanese Windows fonts are mapped to IPAGothic"
fi

# The check.
problems=0
warn() {
  echo "tavolen-jvlink-prefix: $*" >&2
  problems=$((problems + 1))
}
grep -q '^"MS UI Gothic"="IPAGothic"' "$prefix/user.reg" 2>/dev/null ||
  warn "the Japanese fonts are not mapped: run tavolen-jvlink-prefix $prefix"
grep -q IPAGothic < <(fc-list 2>/dev/null) ||
  warn "the font IPAGothic is missing: sudo apt-get install fonts-ipafont-gothic"
grep -qix 'ja_JP.utf8' < <(locale -a 2>/dev/null) ||
  warn "the locale ja_JP.UTF-8 is not installed: enable it in /etc/locale.gen, then sudo locale-gen"
# JV-Link is installed when its class is registered in either registry view (/reg:64 or
# /reg:32, both by default), for the machine or for the user.
registered() {
  local key view views=("$@")
  [ ${#views[@]} -gt 0 ] || views=(/reg:64 /reg:32)
  for key in 'HKLM\Software\Classes\JVDTLab.JVLink' 'HKCU\Software\Classes\JVDTLab.JVLink'; do
    for view in "${views[@]}"; do
      quiet "$wine" reg query "$key" "$view" >/dev/null 2>&1 && return 0
    done
  done
  return 1
}
# Wine fills the 32-bit system folder only where its 32-bit part ran when the prefix was made.
if [ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
  say "the prefix runs 32-bit programs (JV-Link before 5.0.0 can be used)"
elif registered /reg:32 && ! registered /reg:64; then
  warn "JV-Link is registered as a 32-bit component (before 5.0.0), but this prefix runs no 32-bit programs (its 32-bit system folder is empty): install wine32:i386, then WINEPREFIX=$prefix wine wineboot --update (the prefix is kept); a machine whose kernel refuses 32-bit programs cannot run it at all, and needs JV-Link 5.0.0 (64-bit)"
else
  say "the prefix runs no 32-bit programs (its 32-bit system folder is empty): JV-Link 5.0.0 (64-bit) can be used, JV-Link before it cannot"
fi
if ! registered; then
  say "JV-Link is not installed in this prefix yet:"
  say "  LC_ALL=ja_JP.UTF-8 WINEPREFIX=$prefix wine JVLinkSetup.exe"
else
  say "JV-Link is installed (JVDTLab.JVLink is registered)"
  services=0
  for service in JVLink64Agent JVLinkAgent; do
    query=$(quiet "$wine" sc query "$service" 2>/dev/null) || continue
    services=$((services + 1))
    state=$(sed -n 's/^ *STATE *: *[0-9]* *\([A-Z_]*\).*/\1/p' <<<"$query")
    start=$(quiet "$wine" reg query "HKLM\\System\\CurrentControlSet\\Services\\$service" /v Start \
      2>/dev/null | sed -n 's/.*REG_DWORD *0x\([0-9a-fA-F]*\).*/\1/p')
    case $start in
      2) how="started automatically" ;;
      3) how="started on demand" ;;
      4) how="disabled" ;;
      *) how="start type ${start:-unknown}" ;;
    esac
    say "JV-Link's service $service is registered ($how), now ${state:-in an unknown state}"
    [ "$start" = 4 ] && warn "$service is disabled: WINEPREFIX=$prefix wine sc config $service start= demand"
    [ "$state" = RUNNING ] ||
      say "  to start it by hand: WINEPREFIX=$prefix wine sc start $service"
  done
  [ $services -gt 0 ] ||
    warn "JV-Link's service (JVLink64Agent for JV-Link 5.0.0, JVLinkAgent before it) is not registered in this prefix: install JV-Link again with its installer"
fi
if [ $problems -eq 0 ]; then
  say "$prefix is ready. Keep it: do not remove, make again or copy it (JV-Link's service would take it for another PC and its key would have to be issued again)."
fi
if [ $check_only = no ]; then
  say "Next: in Tavolen.ini [JVLink] use=bridge and wineprefix=$prefix"
fi
[ $check_only = yes ] && [ $problems -gt 0 ] && exit 1
exit 0
