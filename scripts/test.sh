#!/usr/bin/env bash
# Sets up the machine and runs every test: a plain build, the Debian package installed and
# started once, an AddressSanitizer and UndefinedBehaviorSanitizer build, and every fuzz
# target for a bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# Where the time goes, said as each part ends.
mark() { echo "test.sh: $1 done at $((SECONDS / 60)) min $((SECONDS % 60)) s" >&2; }
scripts/setup.sh
mark "set-up"
# The 32-bit bridge's tests may skip only where the set-up said why: the machine cannot run
# 32-bit programs, or 32-bit Wine could not be installed (a package mirror out of step). The
# end of this run says so again.
wine32_missing=""
if ! why32=$(scripts/runs-32bit.sh 2>&1); then
  wine32_missing="$why32: the tests of the 32-bit JV-Link bridge were skipped."
elif ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  wine32_missing="32-bit Wine (wine32:i386) is not installed (see the set-up's message above): the tests of the 32-bit JV-Link bridge were skipped."
fi
if [ -n "$wine32_missing" ]; then
  export TAVOLEN_WINE32_OPTIONAL=1
  echo "test.sh: $wine32_missing" >&2
fi
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# ccache keys on paths relative to the clone, so a fresh clone elsewhere reuses the cache.
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-20G}

# The Windows programs (64-bit: the core's tests, the bridge and the COM stand-in; 32-bit: the
# bridge and the COM stand-in; the whole program against Qt for Windows, which is built once per
# machine into a cache); the plain build's Wine tests must run, not skip.
scripts/build-windows.sh all
mark "the Windows builds"
# The Qt-free core's tests, built for Windows, run under Wine (one throwaway prefix).
(cd build-win64 && ctest --output-on-failure)
# The Windows program's window tests under Wine, offscreen (the core's tests ran just above).
# All ten window test programs pass there.
(cd build-win64-qt && ctest -L qt --output-on-failure \
  -R 'tavolen_(acquire_ui|standin_ui|acquire_standin|changes_ui|changes_app|racecard_grid|mainracecard|app|raceday|liveday)_tests')
mark "the Windows tests under Wine"
# The zip users download: unpacked into a fresh prefix, it starts and runs the demo race day.
zip=$(scripts/package-windows.sh)
scripts/package-windows.sh --check "$zip"
# The installer made from the same files: installed, started, upgraded and uninstalled silently
# in a fresh prefix.
setup=$(scripts/installer-windows.sh "$zip")
scripts/installer-windows.sh --check "$zip" "$setup"
mark "the zip and the installer"
# The package built from it ships both bridges; the bridge tests run both under Wine.
scripts/build.sh build -DTAVOLEN_WERROR=ON -DTAVOLEN_WIN64_BUILD="$root/build-win64" \
  -DTAVOLEN_WIN32_BUILD="$root/build-win32" \
  -DTAVOLEN_BRIDGE_PROGRAM="$root/build-win32/jvbridge/tavolen-jvlink-bridge32.exe" \
  -DTAVOLEN_BRIDGE64_PROGRAM="$root/build-win64/jvbridge/tavolen-jvlink-bridge64.exe"
(cd build && TAVOLEN_WINE_REQUIRED=1 ctest --output-on-failure)
mark "the Linux build and its tests"
# The README's Wine prefix for JV-Link, made by its command, with a 64-bit and a 32-bit component.
scripts/jvlink-prefix-check.sh "$root/build-win64" "$root/build-win32"

# The Debian package: built, installed, started once from its menu entry, removed.
scripts/package-check.sh build
mark "the Debian package"

scripts/build.sh build-asan -DTAVOLEN_SANITIZE=ON -DTAVOLEN_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
# The Wine tests ran above; here only the bridge's Linux side runs under the sanitizers.
(cd build-asan && TAVOLEN_SKIP_WINE=1 ctest --output-on-failure)
mark "the sanitizer build and its tests"

# Every fuzz target on its seeds, then fuzzed for a bounded time (clang, ASan + UBSan).
scripts/fuzz.sh "${TAVOLEN_FUZZ_SECONDS:-30}" "$root/build-fuzz"
mark "the fuzz targets"
[ -z "$wine32_missing" ] || echo "test.sh: $wine32_missing" >&2
