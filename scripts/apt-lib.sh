# Package index updates that survive a mirror out of step. Sourced by the set-up scripts.
#
#   apt_update_retrying      runs "apt-get update" up to TAVOLEN_APT_TRIES times (default 4),
#                            TAVOLEN_APT_PAUSE seconds apart (default 30); returns 0 when an
#                            update succeeded, else 1 with the indexes that failed in
#                            apt_failed_indexes (one "address  reason" line each)
#   apt_explain_failure WHAT prints which index failed, why, and what to do
#   debian_src_entry SUITE   prints a deb-src entry (deb822) for every Debian archive the
#                            machine's own sources name for SUITE
#
# TAVOLEN_APT_GET names the apt-get to run (a stand-in in the tests).

apt_get=${TAVOLEN_APT_GET:-apt-get}
apt_sudo=""
[ "$(id -u)" -ne 0 ] && apt_sudo="sudo"
apt_failed_indexes=""

apt_update_retrying() {
  local tries=${TAVOLEN_APT_TRIES:-4} pause=${TAVOLEN_APT_PAUSE:-30} try log
  log=$(mktemp)
  for ((try = 1; try <= tries; try++)); do
    # apt-get exits 0 on some failed indexes ("ignored, or old ones used"), so its errors are
    # read as well as its status.
    if $apt_sudo $apt_get update >"$log" 2>&1 && ! grep -q '^E: ' "$log"; then
      rm -f "$log"
      apt_failed_indexes=""
      return 0
    fi
    # "E: Failed to fetch ADDRESS  REASON" names each index that could not be had.
    apt_failed_indexes=$(sed -n 's/^E: Failed to fetch \([^ ]*\) *\(.*\)$/\1  \2/p' "$log" | sort -u)
    [ -n "$apt_failed_indexes" ] || apt_failed_indexes=$(grep '^E: ' "$log" | sort -u)
    if ((try < tries)); then
      echo "apt-get update failed (try $try of $tries); trying again in $pause s:" >&2
      printf '  %s\n' "$apt_failed_indexes" >&2
      sleep "$pause"
    fi
  done
  rm -f "$log"
  return 1
}

apt_explain_failure() {
  cat >&2 <<EOF

$1
The package index below could not be fetched from the configured mirror after
${TAVOLEN_APT_TRIES:-4} tries:
$(printf '  %s\n' "$apt_failed_indexes")
"File has unexpected size" or "Hash Sum mismatch" means the mirror is out of step with
its own release file (a mirror sync in progress): nothing is wrong on this machine.
Wait for the mirror to finish (usually within a few hours) and run the command again,
or point /etc/apt/sources.list.d at another Debian mirror.
EOF
}

debian_src_entry() {
  local suite=$1 uris
  # The archives apt already uses for the suite, with Debian as their origin: the user's own
  # mirror is used, and no address is written into the project.
  uris=$($apt_get indextargets --format '$(ORIGIN) $(RELEASE) $(REPO_URI)' 2>/dev/null |
    awk -v s="$suite" '$1 == "Debian" && $2 == s { print $3 }' | sort -u | tr '\n' ' ')
  uris=${uris% }
  [ -n "$uris" ] || return 1
  printf '%s\n' "Types: deb-src" "URIs: $uris" "Suites: $suite" "Components: main" \
    "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
}
