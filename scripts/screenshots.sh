#!/usr/bin/env bash
# Writes PNG pictures of the program's windows into the folder given as argument (default
# <build>/screenshots): the main window at start and with a race card, the acquisition window
# while it reads, the change window after a change fetch, the race card with the day's changes
# marked, the interval dialog and the version box. Everything shown comes from the JV-Link
# stand-in's demo race day, run through the real windows. Runs on a virtual X display, so it
# works on a machine without a screen. With the 32-bit cross build (build-win32, from
# scripts/build-windows.sh) also JV-Link's update question as the 32-bit bridge shows it inside
# JVOpen, in a prefix made by scripts/jvlink-prefix.sh with the COM stand-in registered as
# JV-Link 4.x (jvlink-update.png).
# The build folder is TAVOLEN_BUILD_DIR (default build); it is configured when it is new.
# Exits non-zero when a picture could not be made.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVOLEN_BUILD_DIR:-$root/build}
case $build in /*) ;; *) build=$root/$build ;; esac
out=${1:-$build/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)

if ! command -v xvfb-run >/dev/null; then
  echo "screenshots: xvfb-run is needed (package xvfb)" >&2
  exit 1
fi
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DTAVOLEN_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target tavolen_screenshots

pictures=(main-start acquisition main changes main-changes interval about)
for p in "${pictures[@]}"; do rm -f "$out/$p.png"; done

unset QT_QPA_PLATFORM
status=0
xvfb-run -a -s "-screen 0 1280x800x24" "$build/tests/app/tavolen_screenshots" "$out" || status=$?
for p in "${pictures[@]}"; do
  if [ ! -s "$out/$p.png" ]; then
    echo "screenshots: $p.png was not written" >&2
    status=1
  fi
done

# JV-Link's update question through the 32-bit bridge, in a prefix made as the README says.
win32=${TAVOLEN_WIN32_BUILD:-$root/build-win32}
if [ -f "$win32/jvbridge/tavolen-jvlink-bridge32.exe" ]; then
  rm -f "$out/jvlink-update.png"
  "$root/scripts/screenshot-update-box.sh" "$win32" "$out/jvlink-update.png" || status=1
  [ -s "$out/jvlink-update.png" ] || { echo "screenshots: jvlink-update.png was not written" >&2; status=1; }
fi
exit "$status"
