#!/usr/bin/env bash
# Writes PNG pictures of the main window, the change window and the version box, filled with a
# sample race day, into the folder given as argument (default build/screenshots). Runs on a
# virtual X display, so it works on a machine without a screen.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)
cd "$root"
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DTAVOLEN_BENCH=OFF >/dev/null
fi
cmake --build build --target tavolen_screenshots
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1280x800x24" build/tests/app/tavolen_screenshots "$out"
