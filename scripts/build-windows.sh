#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64: the 64-bit build (the Qt-free core with its
# tests, run by ctest under Wine; the bridge for JV-Link 5.0.0 and later and the 64-bit COM
# stand-in), the 32-bit build (the bridge for JV-Link before 5.0.0 and the 32-bit COM stand-in,
# which the bridge tests run under 32-bit Wine; the core's tests are not built), and the whole
# program for Windows (64-bit, against the Qt for Windows of scripts/build-qt-windows.sh, built
# first when missing) with its window tests, which ctest runs under Wine.
#   build-windows.sh [64|32|qt|all]   (default all; folders build-win64, build-win32 and
#                                      build-win64-qt)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
which=${1:-all}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# build DIR TOOLCHAIN TARGETS [cmake options]; TARGETS "all" or a comma-separated list.
build() {
  local dir=$1 toolchain=$2 targets=$3
  shift 3
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DTAVOLEN_WERROR=ON "${launcher[@]}" "$@" >/dev/null
  local only=()
  [ "$targets" = all ] || only=(--target ${targets//,/ })
  cmake --build "$dir" -j"$(nproc)" "${only[@]}"
}
# The 32-bit build: only what users and the bridge tests run.
build32() {
  build "$root/build-win32" mingw-w64-i686.cmake tavolen-jvlink-bridge,tavolen-jvlink-standin \
    -DTAVOLEN_CORE_TESTS=OFF
}
program() {
  local qt
  qt=$("$root/scripts/build-qt-windows.sh" | tail -1)
  build "$root/build-win64-qt" mingw-w64-x86_64.cmake all -DTAVOLEN_CORE_ONLY=OFF -DTAVOLEN_TESTS=ON \
    -DTAVOLEN_BENCH=OFF -DTAVOLEN_WINDOWS_QT="$qt" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
}
case $which in
  64) build "$root/build-win64" mingw-w64-x86_64.cmake all ;;
  32) build32 ;;
  qt) program ;;
  all)
    build "$root/build-win64" mingw-w64-x86_64.cmake all
    build32
    program
    ;;
  *) echo "usage: build-windows.sh [64|32|qt|all]" >&2; exit 2 ;;
esac
