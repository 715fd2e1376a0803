#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64: the 64-bit build (the Qt-free core with its
# tests, run by ctest under Wine; the bridge for JV-Link 5.0.0 and later and the 64-bit COM
# stand-in) and the 32-bit build (the bridge for JV-Link before 5.0.0 and the 32-bit COM
# stand-in, which the bridge tests run under 32-bit Wine; the core's tests are not built).
#   build-windows.sh [64|32|all]   (default all; folders build-win64 and build-win32)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
which=${1:-all}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
build() {
  local dir=$1 toolchain=$2
  shift 2
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DTAVOLEN_WERROR=ON "${launcher[@]}" "$@" >/dev/null
  cmake --build "$dir" -j"$(nproc)"
}
case $which in
  64) build "$root/build-win64" mingw-w64-x86_64.cmake ;;
  32) build "$root/build-win32" mingw-w64-i686.cmake -DTAVOLEN_CORE_TESTS=OFF ;;
  all)
    build "$root/build-win64" mingw-w64-x86_64.cmake
    build "$root/build-win32" mingw-w64-i686.cmake -DTAVOLEN_CORE_TESTS=OFF
    ;;
  *) echo "usage: build-windows.sh [64|32|all]" >&2; exit 2 ;;
esac
