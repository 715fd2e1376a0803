#!/usr/bin/env bash
# Writes PNG pictures of the program's windows into the folder given as argument (default
# <build>/screenshots): the main window at start and with a race card, the acquisition window
# while it reads, the change window after a change fetch, the race card with the day's changes
# marked, the interval dialog, the version box, the File menu with "start at sign-in" and the status line during an automatic
# acquisition ("開催日を自動で監視する"); the race list, card and change window with favourites
# marked, the favourites window and the notification settings window; the tray icon's four
# states on a light and a dark panel; the card of a race with its weights, result and payouts
# and the text of a favourite horse's notification of them. Everything shown comes from the JV-Link
# stand-in's demo race day, run through the real windows. Runs on a virtual X display, so it
# works on a machine without a screen. With the 32-bit cross build (build-win32, from
# scripts/build-windows.sh) also JV-Link's update question as the 32-bit bridge shows it inside
# JVOpen, in a prefix made by scripts/jvlink-prefix.sh with the COM stand-in registered as
# JV-Link 4.x (jvlink-update.png).
# The build folder is TAVOLEN_BUILD_DIR (default build); it is configured when it is new.
# Exits non-zero when a picture could not be made.
#   screenshots.sh [folder]             the Linux program (Qt's xcb platform)
#   screenshots.sh --windows [folder]   the Windows program under Wine with Qt's Windows platform
#                                       plug-in (build build-win64-qt, default folder
#                                       build-win64-qt/screenshots), in a throwaway prefix whose
#                                       Japanese Windows fonts are mapped to IPAGothic
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
windows=0
if [ "${1:-}" = "--windows" ]; then
  windows=1
  shift
fi
build=${TAVOLEN_BUILD_DIR:-$root/build}
[ $windows = 1 ] && build=${TAVOLEN_WINDOWS_BUILD:-$root/build-win64-qt}
case $build in /*) ;; *) build=$root/$build ;; esac
out=${1:-$build/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)

if ! command -v xvfb-run >/dev/null; then
  echo "screenshots: xvfb-run is needed (package xvfb)" >&2
  exit 1
fi
pictures=(main-start acquisition main changes main-changes interval about main-auto signin-menu)
pictures+=(main-favourites changes-favourites notify-settings favourites tray-states)
pictures+=(main-live notification-live)
for p in "${pictures[@]}"; do rm -f "$out/$p.png"; done
status=0

if [ $windows = 1 ]; then
  [ -f "$build/build.ninja" ] || "$root/scripts/build-windows.sh" qt
  cmake --build "$build" --target tavolen_screenshots
  # Qt's and the compiler's DLLs from where they lie; the plug-ins through the build's qt.conf.
  dlls=$(sed -n 's/^TAVOLEN_WINDOWS_DLL_DIRS:INTERNAL=//p' "$build/CMakeCache.txt")
  export WINEPREFIX=$build/screenshots-prefix TAVOLEN_WINE_DLLPATH=${dlls//;/:}
  export QT_QPA_PLATFORM=windows
  "$root/scripts/wine-run.sh" --init
  "$root/scripts/wine-run.sh" --japanese-fonts
  xvfb-run -a -s "-screen 0 1280x800x24" "$root/scripts/wine-run.sh" --display \
    "$build/tests/app/tavolen_screenshots.exe" "Z:${out//\//\\}" || status=$?
  "$root/scripts/wine-run.sh" --done
else
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DTAVOLEN_BENCH=OFF >/dev/null
  fi
  cmake --build "$build" --target tavolen_screenshots
  unset QT_QPA_PLATFORM
  xvfb-run -a -s "-screen 0 1280x800x24" "$build/tests/app/tavolen_screenshots" "$out" || status=$?
fi
for p in "${pictures[@]}"; do
  if [ ! -s "$out/$p.png" ]; then
    echo "screenshots: $p.png was not written" >&2
    status=1
  fi
done

# JV-Link's update question through the 32-bit bridge, in a prefix made as the README says.
win32=${TAVOLEN_WIN32_BUILD:-$root/build-win32}
if [ -f "$win32/jvbridge/tavolen-jvlink-bridge32.exe" ] && ! why32=$("$root/scripts/runs-32bit.sh" 2>&1); then
  echo "screenshots: jvlink-update.png is not made: $why32" >&2
elif [ -f "$win32/jvbridge/tavolen-jvlink-bridge32.exe" ]; then
  rm -f "$out/jvlink-update.png"
  "$root/scripts/screenshot-update-box.sh" "$win32" "$out/jvlink-update.png" || status=1
  [ -s "$out/jvlink-update.png" ] || { echo "screenshots: jvlink-update.png was not written" >&2; status=1; }
fi
exit "$status"
