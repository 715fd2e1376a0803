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
  ./usr/share/tavolen/favourite.wav \
  ./usr/share/tavolen/help/index.html ./usr/share/tavolen/installed-layout; do
  grep -q " $f\( -> .*\)\?\$" <<<"$contents" || fail "the package lacks $f"
done

# A build that names a bridge program ships it where the installed program looks for it, and
# suggests the Wine that runs it.
bridge=$(sed -n 's/^TAVOLEN_BRIDGE_PROGRAM:FILEPATH=//p' "$build/CMakeCache.txt")
bridge64=$(sed -n 's/^TAVOLEN_BRIDGE64_PROGRAM:FILEPATH=//p' "$build/CMakeCache.txt")
bridges=()
[ -n "$bridge" ] && bridges+=(32)
[ -n "$bridge64" ] && bridges+=(64)
for bits in "${bridges[@]}"; do
  grep -q " ./usr/libexec/tavolen/tavolen-jvlink-bridge$bits.exe\$" <<<"$contents" ||
    fail "the package lacks the bridge ./usr/libexec/tavolen/tavolen-jvlink-bridge$bits.exe"
  grep -q "wine$bits" <<<"$(dpkg-deb -f "$deb" Suggests)" || fail "Suggests lacks wine$bits"
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
for bits in "${bridges[@]}"; do
  [ -x /usr/bin/../libexec/tavolen/tavolen-jvlink-bridge$bits.exe ] ||
    fail "the $bits-bit bridge is not installed"
done
# Every file of the install with its size and time; folders by name only (the check below
# moves the marker away and back).
snapshot() {
  find /usr/bin/Tavolen /usr/bin/tavolen* /usr/share/tavolen \( -type d -printf '%p/\n' \) -o \
    -printf '%p %s %T@\n' | sort
}
before=$(snapshot)

# The installed stand-in tool serves the demo day's race data.
export HOME=$work/root-home XDG_DATA_HOME=$work/root-home/.local/share
mkdir -p "$HOME"
(cd "$work" && /usr/bin/tavolen-standin race 20000101000000 >"$work/race.txt" 2>&1) ||
  fail "tavolen-standin race failed: $(head -5 "$work/race.txt")"
grep -q '\.jvd RA [0-9]' "$work/race.txt" || fail "the stand-in served no race record"

# Starts the installed program as from the menu (the entry's Exec), offscreen, for a throwaway
# user whose home is $1 (the rest: a command that runs it as another user); checks that it
# reached operation in that user's data folder and stores its settings there when it ends.
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/tavolen.desktop)
start_once() {
  local home=$1
  shift
  local user=$home/.local/share/tavolen
  mkdir -p "$home/run"
  chmod 700 "$home/run"
  [ $# -gt 0 ] && chown -R nobody:nogroup "$home"
  (cd "$home" && exec "$@" env HOME="$home" XDG_DATA_HOME="$home/.local/share" \
    XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=offscreen $exec_line >"$home/out.txt" 2>&1) &
  pid=$!
  local started=""
  for _ in $(seq 1 150); do
    if [ -f "$user/ErrorLog.txt" ] &&
      iconv -f CP932 -t UTF-8 "$user/ErrorLog.txt" | grep -q '^ソフト起動：'; then
      started=yes
      break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  [ -n "$started" ] || { cat "$home/out.txt" >&2; fail "the program wrote no start line into $user"; }
  iconv -f CP932 -t UTF-8 "$user/ErrorLog.txt" | tr -d '\r' | grep -qxF "$user" ||
    fail "the error log does not name the per-user folder"
  [ -d "$user/Data" ] || fail "no Data folder in the per-user folder"
  sleep 1
  kill -0 "$pid" 2>/dev/null || { cat "$home/out.txt" >&2; fail "the program ended by itself"; }
  # A plain kill ends it as its exit command does: the window place is stored.
  kill -TERM "$pid"
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$pid" 2>/dev/null && fail "the program did not end on SIGTERM"
  wait "$pid" || true
  pid=""
  [ -f "$user/Tavolen.ini" ] || fail "no settings file in the per-user folder"
}

# Root may write anywhere: the install's marker alone keeps it out of /usr/bin.
start_once "$work/root-home"
users="root"
# An ordinary user cannot write into /usr/bin: that alone makes the layout installed, even
# without the marker.
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null && id nobody >/dev/null 2>&1; then
  chmod 755 "$work"
  mv /usr/share/tavolen/installed-layout "$work/marker"
  start_once "$work/user-home" setpriv --reuid=nobody --regid=nogroup --clear-groups
  mv "$work/marker" /usr/share/tavolen/installed-layout
  users="root and an ordinary user"
fi
after=$(snapshot)
[ "$before" = "$after" ] || fail "the program changed files of the install: $(diff <(echo "$before") <(echo "$after"))"
if ls /usr/bin | grep -q -e '^Tavolen.ini$' -e '^ErrorLog.txt$' -e '^Data$'; then
  fail "the program wrote beside its executable"
fi
echo "package-check: $(basename "$deb") installed, started from its menu entry as $users, reached operation in the per-user folder each time, removed"
