#!/usr/bin/env bash
# Makes a Wine prefix ready for JV-Link (installed as tavolen-jvlink-prefix):
#   tavolen-jvlink-prefix PREFIX
# - a WoW64 prefix, made without a display (a prefix made with a display visible has been
#   reported to come out without its 32-bit system folder): checked for drive_c/windows/syswow64,
#   which JV-Link before 5.0.0 (32-bit) needs;
# - the Japanese Windows fonts mapped to IPAGothic under
#   HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements, so that JV-Link's windows are readable;
# - whether the locale the bridge runs in (ja_JP.UTF-8) and the font are installed.
# A prefix that exists is kept and given the fonts. WINE names the Wine command (default wine).
set -euo pipefail
prefix=${1:-}
if [ -z "$prefix" ] || [ $# -ne 1 ]; then
  echo "usage: tavolen-jvlink-prefix PREFIX" >&2
  exit 64
fi
wine=${WINE:-wine}
fail() {
  echo "tavolen-jvlink-prefix: $*" >&2
  exit 1
}
command -v "$wine" >/dev/null ||
  fail "no Wine ('$wine'): sudo apt-get install wine wine64 wine32:i386"
case $prefix in /*) ;; *) prefix=$PWD/$prefix ;; esac
if [ -e "$prefix" ] && [ ! -f "$prefix/system.reg" ] && [ -n "$(ls -A "$prefix")" ]; then
  fail "$prefix exists and is no Wine prefix"
fi
server=$(dirname "$(command -v "$wine")")/wineserver
[ -x "$server" ] || server=wineserver
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEARCH
# Without a display: no X or Wayland display reaches wineboot or the server it starts.
quiet() { env -u DISPLAY -u WAYLAND_DISPLAY LC_ALL=C.UTF-8 "$@"; }
"$server" -k 2>/dev/null || true
quiet "$wine" wineboot --init >/dev/null 2>&1 || fail "wineboot failed in $prefix"
[ -d "$prefix/drive_c/windows/syswow64" ] ||
  fail "$prefix has no 32-bit system folder (drive_c/windows/syswow64): install wine32:i386 and make the prefix again in an empty folder"
for name in "MS Gothic" "MS UI Gothic" "MS PGothic" "ＭＳ ゴシック" "ＭＳ Ｐゴシック"; do
  quiet "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$name" /t REG_SZ \
    /d IPAGothic /f >/dev/null 2>&1 || fail "the font replacement of $name could not be written"
done
"$server" -w  # the registry is written to the prefix when its server ends
echo "tavolen-jvlink-prefix: $prefix is ready (WoW64, Japanese fonts mapped to IPAGothic)"
if ! grep -q IPAGothic < <(fc-list 2>/dev/null); then
  echo "tavolen-jvlink-prefix: the font IPAGothic is missing: sudo apt-get install fonts-ipafont-gothic" >&2
fi
if ! grep -qix 'ja_JP.utf8' < <(locale -a 2>/dev/null); then
  echo "tavolen-jvlink-prefix: the locale ja_JP.UTF-8 is not installed: enable it in /etc/locale.gen, then sudo locale-gen" >&2
fi
echo "Next: LC_ALL=ja_JP.UTF-8 WINEPREFIX=$prefix wine JVLinkSetup.exe, then in Tavolen.ini [JVLink] use=bridge and wineprefix=$prefix"
