#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need (idempotent).
# A package index that cannot be fetched (a mirror out of step) is retried; the set-up goes on
# when the packages still install, and otherwise says which index failed and what to do.
# Only 32-bit Wine may be left out, with that message: the 32-bit bridge's tests then skip.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=apt-lib.sh
. "$here/apt-lib.sh"
dpkg=${TAVOLEN_DPKG:-dpkg}
dpkg_query=${TAVOLEN_DPKG_QUERY:-dpkg-query}
runs32=${TAVOLEN_RUNS_32BIT:-$here/runs-32bit.sh}
packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev qt6-multimedia-dev qt6-translations-l10n libgl-dev
  clang libclang-rt-14-dev
  fonts-ipafont-gothic xvfb x11-apps imagemagick
  file dpkg-dev desktop-file-utils appstream dbus
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 nsis
  ccache qt6-base-dev-tools locales xz-utils
)
# 32-bit Wine runs the 32-bit JV-Link bridge that users of JV-Link 4.x run. Its libraries must
# match the 64-bit ones, so it is the first to fail when an i386 index is missing.
packages32=(wine32:i386)

missing_of() {
  local p
  for p in "$@"; do
    $dpkg_query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
install() {
  DEBIAN_FRONTEND=noninteractive $apt_sudo $apt_get install -y --no-install-recommends "$@"
}

# The Japanese locale the JV-Link bridge runs in under Wine (and its tests and pictures).
japanese_locale() {
  [ -z "${TAVOLEN_DPKG:-}" ] || return 0 # the set-up's own test
  locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
  [ -f /etc/locale.gen ] && command -v locale-gen >/dev/null || return 0
  $apt_sudo sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen ||
    echo 'ja_JP.UTF-8 UTF-8' | $apt_sudo tee -a /etc/locale.gen >/dev/null
  $apt_sudo locale-gen >/dev/null
}

if ! $dpkg --print-foreign-architectures | grep -qx i386; then
  $apt_sudo $dpkg --add-architecture i386
fi
mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing32 < <(missing_of "${packages32[@]}")
# A machine that cannot run 32-bit programs at all gets no 32-bit Wine: it could not start, and
# Debian's "wine" command would try it first for every program.
if ! why32=$($runs32 2>&1); then
  if [ ${#missing32[@]} -gt 0 ]; then
    echo "scripts/setup.sh: $why32; 32-bit Wine (${missing32[*]}) is not installed, and the tests of the 32-bit JV-Link bridge are skipped and say so." >&2
    missing32=()
  else
    echo "scripts/setup.sh: $why32, but 32-bit Wine is installed: Debian's \"wine\" command starts its 32-bit loader first and fails; \"apt-get remove wine32:i386\" mends it." >&2
  fi
fi
if [ $((${#missing[@]} + ${#missing32[@]})) -eq 0 ]; then
  japanese_locale
  exit 0
fi

updated=yes
apt_update_retrying || updated=no
if [ ${#missing[@]} -gt 0 ] && ! install "${missing[@]}"; then
  if [ $updated = no ]; then
    apt_explain_failure "scripts/setup.sh: the packages could not be installed: ${missing[*]}"
  else
    echo "scripts/setup.sh: apt-get could not install: ${missing[*]}" >&2
  fi
  exit 1
fi
japanese_locale
if [ ${#missing32[@]} -gt 0 ] && ! install "${missing32[@]}"; then
  if [ $updated = no ]; then
    apt_explain_failure "scripts/setup.sh: 32-bit Wine (${missing32[*]}) could not be installed; everything else was. Until it is, the tests of the 32-bit JV-Link bridge are skipped and say so."
    exit 0
  fi
  echo "scripts/setup.sh: apt-get could not install: ${missing32[*]}" >&2
  exit 1
fi
if [ $updated = no ]; then
  echo "scripts/setup.sh: every package is installed, although this index could not be fetched:" >&2
  printf '  %s\n' "$apt_failed_indexes" >&2
fi
