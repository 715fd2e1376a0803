#!/usr/bin/env bash
# The set-up's decisions when a package index cannot be fetched, against a stand-in for apt-get,
# dpkg and dpkg-query (no mirror is asked): retried, then the packages installed when they still
# can, or a message that names the failed index and what to do.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # description, then a command that must succeed
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}

# The stand-in: "update" fails the first $FAKE_UPDATE_FAILS times with a mirror out of step (the
# way apt words it, exit 100), and "install" installs unless a package named in
# $FAKE_UNINSTALLABLE is asked for. Every call is logged.
cat >"$work/apt-get" <<'STANDIN'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE_LOG"
case $1 in
  update)
    n=$(($(cat "$FAKE_STATE/updates" 2>/dev/null || echo 0) + 1))
    echo $n >"$FAKE_STATE/updates"
    if [ "$n" -le "${FAKE_UPDATE_FAILS:-0}" ]; then
      echo "Err:6 http://mirror.invalid/debian-security bookworm-security/main i386 Packages"
      echo "E: Failed to fetch http://mirror.invalid/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
      exit 100
    fi
    ;;
  install)
    shift
    for p in "$@"; do
      case " ${FAKE_UNINSTALLABLE:-} " in *" $p "*)
        echo "E: Unable to correct problems, you have held broken packages." >&2
        exit 100 ;;
      esac
    done
    for p in "$@"; do [ "${p#-}" = "$p" ] && echo "$p" >>"$FAKE_STATE/installed"; done
    ;;
esac
exit 0
STANDIN
cat >"$work/dpkg-query" <<'STANDIN'
#!/usr/bin/env bash
p=${!#}
grep -qx -- "$p" "$FAKE_STATE/installed" 2>/dev/null && printf 'install ok installed' && exit 0
exit 1
STANDIN
cat >"$work/dpkg" <<'STANDIN'
#!/usr/bin/env bash
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
STANDIN
# Whether the machine runs 32-bit programs: yes unless FAKE_RUNS_32BIT=no.
cat >"$work/runs-32bit" <<'STANDIN'
#!/usr/bin/env bash
[ "${FAKE_RUNS_32BIT:-yes}" = yes ] && exit 0
echo "this machine cannot run 32-bit programs (its kernel refuses them: Exec format error)" >&2
exit 1
STANDIN
chmod +x "$work/apt-get" "$work/dpkg-query" "$work/dpkg" "$work/runs-32bit"

# run NAME [VAR=VALUE...]: the set-up against the stand-in, with a fresh state; sets $out, $rc.
run() {
  local name=$1
  shift
  mkdir -p "$work/$name"
  : >"$work/$name/log"
  out=$(env "$@" FAKE_LOG="$work/$name/log" FAKE_STATE="$work/$name" TAVOLEN_APT_GET="$work/apt-get" \
    TAVOLEN_DPKG="$work/dpkg" TAVOLEN_DPKG_QUERY="$work/dpkg-query" TAVOLEN_APT_PAUSE=0 \
    TAVOLEN_RUNS_32BIT="$work/runs-32bit" TAVOLEN_APT_TRIES=3 bash "$root/scripts/setup.sh" 2>&1)
  rc=$?
  log=$(cat "$work/$name/log")
}
updates() { grep -c '^apt-get update' <<<"$log"; }
installed() { grep -qx -- "$2" "$work/$1/installed"; }

# A mirror back in step by the second try: one retry, everything installed, no complaint.
run second FAKE_UPDATE_FAILS=1
check "a passing second update is enough" [ "$rc" -eq 0 ]
check "one retry" [ "$(updates)" -eq 2 ]
check "every package installed" installed second wine32:i386
check "nothing said of a failed index" bash -c '! grep -q "could not be fetched" <<<"$0"' "$out"

# An index that stays out of step, but every package still installs: the set-up goes on and
# names the index it could not fetch.
run stays FAKE_UPDATE_FAILS=99
check "a lasting failure with installable packages succeeds" [ "$rc" -eq 0 ]
check "three tries" [ "$(updates)" -eq 3 ]
check "the packages installed" installed stays cmake
check "the failed index named" grep -q "binary-i386/Packages.xz" <<<"$out"

# 32-bit Wine cannot be installed without that index: everything else is, and the message
# says which index failed, why, and what to do.
run wine32 FAKE_UPDATE_FAILS=99 FAKE_UNINSTALLABLE=wine32:i386
check "only 32-bit Wine missing is no failure" [ "$rc" -eq 0 ]
check "the rest installed" installed wine32 qt6-base-dev
check "32-bit Wine named" grep -q "32-bit Wine (wine32:i386) could not be installed" <<<"$out"
check "the index named" grep -q "bookworm-security/main/binary-i386/Packages.xz" <<<"$out"
check "what to do said" grep -q "Wait for the mirror" <<<"$out"
check "apt's own last line is not all there is" grep -q "mirror is out of step" <<<"$out"

# A needed package that cannot be installed while the index failed: a clear stop.
run stop FAKE_UPDATE_FAILS=99 FAKE_UNINSTALLABLE=cmake
check "a needed package missing stops the set-up" [ "$rc" -ne 0 ]
check "the stop names the packages" grep -q "the packages could not be installed: .*cmake" <<<"$out"
check "the stop names the index" grep -q "binary-i386/Packages.xz" <<<"$out"

# The same package failing with every index fetched is apt's own problem, said as such.
run broken FAKE_UNINSTALLABLE=cmake
check "an uninstallable package with good indexes stops" [ "$rc" -ne 0 ]
check "no mirror blamed" bash -c '! grep -q "out of step" <<<"$0"' "$out"

# Nothing missing: no update at all.
everything() {
  mkdir -p "$work/$1"
  printf '%s\n' build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev googletest \
    libbenchmark-dev qt6-base-dev qt6-multimedia-dev qt6-translations-l10n libgl-dev clang \
    libclang-rt-14-dev fonts-ipafont-gothic xvfb x11-apps imagemagick file dpkg-dev \
    desktop-file-utils appstream dbus g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine \
    wine64 nsis ccache qt6-base-dev-tools locales xz-utils "$@" >"$work/$1/installed"
}
everything done wine32:i386
run done FAKE_UPDATE_FAILS=99
check "an installed machine asks no mirror" [ "$rc" -eq 0 ] && [ "$(updates)" -eq 0 ]

# A machine that cannot run 32-bit programs (its kernel refuses them): 32-bit Wine is not
# asked for, whatever the mirror does, and the set-up says why.
run no32 FAKE_RUNS_32BIT=no FAKE_UPDATE_FAILS=99
check "no 32-bit support is no failure" [ "$rc" -eq 0 ]
check "32-bit Wine not asked for" bash -c '! grep -q "install.*wine32:i386" <<<"$0"' "$log"
check "the rest installed" installed no32 qt6-base-dev
check "the reason said" grep -q "cannot run 32-bit programs.*32-bit Wine (wine32:i386) is not installed" <<<"$out"
everything no32done
run no32done FAKE_RUNS_32BIT=no FAKE_UPDATE_FAILS=99
check "without 32-bit support, the rest installed is complete" [ "$rc" -eq 0 ] && [ "$(updates)" -eq 0 ]
# 32-bit Wine installed there breaks Debian's "wine" command: said, with the mend.
everything no32had wine32:i386
run no32had FAKE_RUNS_32BIT=no
check "installed 32-bit Wine that cannot run is named" grep -q 'apt-get remove wine32:i386' <<<"$out"

# The deb-src entry comes from the machine's own Debian sources, never from a fixed address.
cat >"$work/apt-get" <<'STANDIN'
#!/usr/bin/env bash
[ "$1" = indextargets ] || exit 1
echo "Debian bookworm http://mirror.example/debian/"
echo "Debian bookworm-security http://security.example/debian-security/"
echo "Other bookworm http://other.example/"
STANDIN
entry=$(TAVOLEN_APT_GET="$work/apt-get" bash -c ". '$root/scripts/apt-lib.sh'; debian_src_entry bookworm")
check "deb-src from the configured Debian archive" grep -qx "URIs: http://mirror.example/debian/" <<<"$entry"
check "deb-src is a source entry" grep -qx "Types: deb-src" <<<"$entry"
check "no project file names an archive host" bash -c \
  "! grep -rIl 'deb\.debian\.org' '$root/scripts' '$root/.ci' '$root/dist' '$root/CMakeLists.txt'"

[ $failures -eq 0 ] || { echo "setup-test: $failures failed"; exit 1; }
echo "setup-test: all passed"
