#!/usr/bin/env bash
# Builds Qt for Windows (64-bit, mingw-w64 posix threads) from Debian's source package of the
# same Qt version as the host's, once per machine, into a cache folder outside the clone named
# after the version and the options. Does nothing when that folder is complete.
#   build-qt-windows.sh            builds if needed, then prints the install folder
#   build-qt-windows.sh --print    prints the install folder only (no build)
# TAVOLEN_CACHE names the cache root (default ~/.cache/tavolen).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
version=6.4.2
debversion=6.4.2+dfsg-10
cache=${TAVOLEN_CACHE:-$HOME/.cache/tavolen}

# The options, as one list: their hash names the folder, so a change builds anew beside the old.
options=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF
  -DFEATURE_dbus=OFF -DFEATURE_xml=OFF -DFEATURE_openssl=OFF -DFEATURE_vulkan=OFF
  -DFEATURE_tabletevent=OFF -DFEATURE_concurrent=OFF
  -DFEATURE_testlib=ON -DFEATURE_network=ON -DFEATURE_widgets=ON -DFEATURE_gui=ON
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
  -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_doubleconversion=OFF
)
key=$(printf '%s\n' "$debversion" "${options[@]}" | sha256sum | cut -c1-10)
prefix="$cache/qt-$version-mingw-w64-x86_64-$key"

if [ "${1:-}" = "--print" ]; then
  echo "$prefix"
  exit 0
fi
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

work="$cache/qt-$version-work-$key"
mkdir -p "$work"
cd "$work"
if [ ! -d "qtbase-src" ]; then
  # The source package comes from Debian's archive, as the machine's own sources name it; a
  # deb-src entry is added when missing. An index that stays out of step is no reason to stop
  # while the source package can still be had.
  if ! apt-cache showsrc qt6-base 2>/dev/null | grep -q "^Version: $debversion"; then
    # shellcheck source=apt-lib.sh
    . "$root/scripts/apt-lib.sh"
    entry=$(debian_src_entry bookworm) || {
      echo "build-qt-windows.sh: no Debian archive for bookworm among the configured apt sources" >&2
      exit 1
    }
    printf '%s\n' "$entry" | $apt_sudo tee /etc/apt/sources.list.d/tavolen-deb-src.sources >/dev/null
    if ! apt_update_retrying && ! apt-cache showsrc qt6-base 2>/dev/null | grep -q "^Version: $debversion"; then
      apt_explain_failure "build-qt-windows.sh: the source package qt6-base $debversion is not known to apt."
      exit 1
    fi
  fi
  rm -rf fetch && mkdir fetch
  (cd fetch && apt-get source --download-only "qt6-base=$debversion" >/dev/null)
  tar -xf fetch/qt6-base_*.orig.tar.xz
  mv qtbase-everywhere-src-* qtbase-src
fi

# Debian's source leaves out the wintab headers (tablet events are off above); the Windows
# platform plug-in is built, and the offscreen one for the tests.
cmake -S qtbase-src -B build -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DTAVOLEN_CORE_ONLY=OFF \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  "${options[@]}" >configure.log 2>&1 || { tail -40 configure.log >&2; exit 1; }
cmake --build build -j"$(nproc)" >build.log 2>&1 || { tail -60 build.log >&2; exit 1; }
cmake --install build >install.log 2>&1
touch "$prefix/.complete"
rm -rf "$work"
echo "$prefix"
