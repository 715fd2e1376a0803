#!/usr/bin/env bash
# Builds the Debian package from a build folder, installs it with apt-get, starts the installed
# program once (offscreen, with a throwaway home) and checks that it reached operation in its
# per-user folder without writing into the install; runs the installed stand-in tool on its
# demo day; then removes the package again.
#   package-check.sh [build-folder]      (default: build; it must be built already)
# Needs root (apt-get). Exits non-zero on the first failed check.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
case $build in /*) ;; *) build=$root/$build ;; esac

fail() {
  echo "package-check: $*" >&2
  exit 1
}
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# The desktop entry and the AppStream metadata are valid.
desktop-file-validate "$root/dist/tavolen.desktop" || fail "tavolen.desktop is not valid"
appstreamcli validate --no-net --override=cid-desktopapp-is-not-rdns=info \
  "$root/dist/tavolen.metainfo.xml" >/dev/null || fail "tavolen.metainfo.xml is not valid"

# The package.
rm -f "$build"/tavolen_*.deb
(cd "$build" && cpack -G DEB >/dev/null) || fail "cpack failed"
deb=$(ls "$build"/tavolen_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6multimedia6 libqt6dbus6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/Tavolen ./usr/bin/tavolen-standin ./usr/bin/tavolen-demoday \
  ./usr/share/applications/tavolen.desktop ./usr/share/metainfo/tavolen.metainfo.xml \
  ./usr/share/icons/hicolor/scalable/apps/tavolen.svg \
  ./usr/share/icons/hicolor/48x48/apps/tavolen.png ./usr/share/tavolen/notify.wav \
  ./usr/share/tavolen/help/index.html ./usr/share/tavolen/installed-layout; do
  grep -q " $f\( -> .*\)\?\$" <<<"$contents" || fail "the package lacks $f"
done

work=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null || true
  DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y --purge tavolen >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "$deb" \
  >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get install failed"; }
[ -x /usr/bin/Tavolen ] || fail "/usr/bin/Tavolen is not installed"
snapshot() { find /usr/bin/Tavolen /usr/bin/tavolen* /usr/share/tavolen -printf '%p %s %T@\n' | sort; }
before=$(snapshot)

# A throwaway user: home, per-user data folder, runtime folder (single-instance lock).
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
user=$XDG_DATA_HOME/tavolen

# The installed stand-in tool serves the demo day's race data.
(cd "$work" && /usr/bin/tavolen-standin race 20000101000000 >"$work/race.txt" 2>&1) ||
  fail "tavolen-standin race failed: $(head -5 "$work/race.txt")"
grep -q '\.jvd RA [0-9]' "$work/race.txt" || fail "the stand-in served no race record"

# The program, started as from the menu (the entry's Exec), offscreen.
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/tavolen.desktop)
cd "$work"
QT_QPA_PLATFORM=offscreen $exec_line >"$work/out.txt" 2>&1 &
pid=$!
cd "$root"
started=""
for _ in $(seq 1 150); do
  if [ -f "$user/ErrorLog.txt" ] &&
    iconv -f CP932 -t UTF-8 "$user/ErrorLog.txt" | grep -q '^ソフト起動：'; then
    started=yes
    break
  fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
[ -n "$started" ] || { cat "$work/out.txt" >&2; fail "the program wrote no start line into $user"; }
iconv -f CP932 -t UTF-8 "$user/ErrorLog.txt" | tr -d '\r' | grep -qxF "$user" ||
  fail "the error log does not name the per-user folder"
[ -d "$user/Data" ] || fail "no Data folder in the per-user folder"
sleep 1
kill -0 "$pid" 2>/dev/null || { cat "$work/out.txt" >&2; fail "the program ended by itself"; }
# A plain kill ends it as its exit command does: the window place is stored.
kill -TERM "$pid"
for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$pid" 2>/dev/null && fail "the program did not end on SIGTERM"
wait "$pid" || true
pid=""
[ -f "$user/Tavolen.ini" ] || fail "no settings file in the per-user folder"
[ "$before" = "$(snapshot)" ] || fail "the program changed files of the install"
if ls /usr/bin | grep -q -e '^Tavolen.ini$' -e '^ErrorLog.txt$' -e '^Data$'; then
  fail "the program wrote beside its executable"
fi
echo "package-check: $(basename "$deb") installed, started from the menu entry, reached operation in the per-user folder, removed"
