#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need (idempotent).
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev qt6-multimedia-dev qt6-translations-l10n libgl-dev
  clang libclang-rt-14-dev
  fonts-ipafont-gothic xvfb x11-apps imagemagick
  file dpkg-dev desktop-file-utils appstream dbus
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 wine32:i386
  ccache qt6-base-dev-tools locales xz-utils
)
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
# 32-bit Wine runs the 32-bit JV-Link bridge that users of JV-Link 4.x run.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
