#!/usr/bin/env bash
# The Windows installer, Tavolen-<version>-setup.exe (NSIS, 64-bit, per user), made from the zip
# of scripts/package-windows.sh so that both downloads hold the same files.
#   installer-windows.sh ZIP [OUT]
#       writes the installer into OUT (default: the zip's folder) and prints its path
#   installer-windows.sh --check ZIP SETUP
#       in a fresh 64-bit Wine prefix with no display (the program gets a virtual one): a
#       silent install of an earlier version made from the same zip, with the start at sign-in;
#       the program started from the Start menu entry's target, its files in
#       %LOCALAPPDATA%\Tavolen, and an install while it runs stopped; started as the Run value says (--autostart), it fetches and
#       loads today by itself; SETUP installed over it keeps the user's files and the Run
#       value; a silent uninstall leaves the per-user folder and removes the program, the Run
#       value and the Start menu entry; an uninstall with /REMOVEUSERDATA removes everything.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# make_installer ZIP OUT [VERSION]: VERSION overrides the zip's (the check's earlier version).
make_installer() {
  local zip=$1 out=$2 version=${3:-}
  local name work folder
  name=$(basename "$zip" .zip)
  [ -n "$version" ] || version=$(sed -n 's/^tavolen-\(.*\)-windows-x64$/\1/p' <<<"$name")
  [ -n "$version" ] || { echo "installer-windows: $zip is no tavolen-<version>-windows-x64.zip" >&2; exit 1; }
  command -v makensis >/dev/null || { echo "installer-windows: makensis is missing (scripts/setup.sh installs nsis)" >&2; exit 1; }
  work=$(mktemp -d "${TMPDIR:-/tmp}/tavolen-installer.XXXXXX")
  # shellcheck disable=SC2064
  trap "rm -rf '$work'; trap - RETURN" RETURN
  (cd "$work" && cmake -E tar xf "$zip")
  folder=$work/$name
  [ -f "$folder/Tavolen.exe" ] || { echo "installer-windows: no Tavolen.exe in $zip" >&2; exit 1; }
  # The uninstaller removes the installed files one by one, deepest first, and then their
  # folders when they are empty: a file the user put there stays.
  local rel
  {
    (cd "$folder" && find . -type f | sed 's|^\./||' | sort -r) | while IFS= read -r rel; do
      printf 'Delete "$INSTDIR\\%s"\n' "${rel//\//\\}"
    done
    (cd "$folder" && find . -mindepth 1 -type d | sed 's|^\./||' | sort -r) | while IFS= read -r rel; do
      printf 'RMDir "$INSTDIR\\%s"\n' "${rel//\//\\}"
    done
  } >"$work/uninstall.nsh"
  # Four numbers for the version resource: "1.01" is 1.1.0.0.
  local v4 parts=()
  IFS=. read -ra parts <<<"${version%%[^0-9.]*}"
  v4=$((10#${parts[0]:-0})).$((10#${parts[1]:-0})).$((10#${parts[2]:-0})).$((10#${parts[3]:-0}))
  local setup="$out/Tavolen-$version-setup.exe"
  makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DVERSION4="$v4" -DSRCDIR="$folder" \
    -DUNINSTALL="$work/uninstall.nsh" -DICON="$root/dist/icons/tavolen.ico" -DOUTFILE="$setup" \
    "$root/dist/windows/tavolen.nsi" >&2
  echo "$setup"
}

fail() {
  echo "installer check: $*" >&2
  exit 1
}

# A value of HKEY_CURRENT_USER as the prefix stored it (the server is stopped first), unescaped
# for the plain ASCII paths of the check; empty when it is missing. KEY is written as the
# registry file writes it, with doubled backslashes.
reg_value() {
  "$run" --stop
  KEY="[$1]" NAME="\"$2\"=" awk '
    index($0, ENVIRON["KEY"]) == 1 { inside = 1; next }
    /^\[/ { inside = 0 }
    inside && index($0, ENVIRON["NAME"]) == 1 { print substr($0, length(ENVIRON["NAME"]) + 1); exit }
  ' "$WINEPREFIX/user.reg" | sed -e 's/^"\(.*\)"$/\1/' -e 's/\\"/"/g' -e 's/\\\\/\\/g'
}

# Every file below a folder with its checksum, to compare before and after.
tree_sums() {
  (cd "$1" && find . -type f ! -name ErrorLog.txt -print0 | sort -z | xargs -0 -r md5sum)
}

# run_program WHAT BUSY WINDOWS-PATH ARGS...: starts the installed program on a virtual display
# and waits until its error log in the per-user folder shows what WHAT asks for: "window" (its
# main window is up) or "signin" (today fetched and loaded, no window). BUSY, when not empty, is
# an installer run silently while the program runs, which must end with code 3.
run_program() {
  local what=$1 busy=$2
  shift 2
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    set -u
    what=$1 user=$2 run=$3 busy=$4
    shift 4
    "$run" --display "$@" 2>"$user/../tavolen-output.txt" &
    for i in $(seq 1 60); do
      sleep 1
      log=$(iconv -f CP932 -t UTF-8 "$user/ErrorLog.txt" 2>/dev/null) || continue
      shown=no
      xwininfo -root -tree | grep -q "Tavolen for JRA-VAN Data Lab." && shown=yes
      if [ "$what" = window ] && [ $shown = yes ]; then
        echo "installer check: the installed Tavolen.exe shows its main window after ${i} s"
        [ -n "$busy" ] || exit 0
        rc=0
        "$run" "$busy" /S || rc=$?
        [ $rc -eq 3 ] || { echo "installer check: an install while Tavolen runs ended with $rc, not 3" >&2; exit 1; }
        echo "installer check: an install while Tavolen runs stops with code 3"
        exit 0
      fi
      if [ "$what" = signin ] &&
        grep -q "【記録】.*\(の開催を読み込みました\|の開催はありません\)" <<<"$log"; then
        [ $shown = no ] || { echo "installer check: started at sign-in, the window was shown" >&2; exit 1; }
        echo "installer check: started at sign-in, it stayed in the tray; after ${i} s: $(grep -o "【記録】.*" <<<"$log" | tail -1)"
        exit 0
      fi
    done
    echo "installer check: the installed Tavolen.exe ($what) did not get there within 60 s" >&2
    iconv -f CP932 -t UTF-8 "$user/ErrorLog.txt" >&2 || true
    cat "$user/../tavolen-output.txt" >&2
    exit 1
  ' check "$what" "$user" "$run" "$busy" "$@"
  "$run" --stop
}

check_installer() {
  local zip setup
  zip=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
  setup=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
  work=$(mktemp -d "${TMPDIR:-/tmp}/tavolen-installer-check.XXXXXX")
  run=$root/scripts/wine-run.sh
  trap 'WINEPREFIX="$work/prefix" "$run" --done; rm -rf "$work"' EXIT
  export WINEPREFIX="$work/prefix"
  unset TAVOLEN_WINE_DLLPATH QT_PLUGIN_PATH QT_QPA_PLATFORM_PLUGIN_PATH QT_QPA_FONTDIR
  export QT_QPA_PLATFORM=windows
  local earlier
  earlier=$(make_installer "$zip" "$work" 0.99)
  "$run" --init

  # The prefix's user folders, on both sides.
  local profile local_unix
  profile=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | sed -n 1p)
  local_unix=$profile/AppData/Local
  local user_name win_local
  user_name=$(basename "$profile")
  win_local="C:\\users\\$user_name\\AppData\\Local"
  local install=$local_unix/Programs/Tavolen user=$local_unix/Tavolen
  local startmenu="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tavolen.lnk"
  local desktop_lnk="$profile/Desktop/Tavolen.lnk"
  local uninst_key='Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavolen'
  local run_key='Software\\Microsoft\\Windows\\CurrentVersion\\Run'
  local expected_run="\"$win_local\\Programs\\Tavolen\\Tavolen.exe\" --autostart"

  # 1. A user who tried the demo day: their settings wait in the per-user folder. The earlier
  # version installed silently, with the start at sign-in.
  mkdir -p "$user"
  printf '[JVLink]\r\nuse=standin\r\n' >"$user/Tavolen.ini"
  "$run" "$earlier" /S /AUTOSTART || fail "the silent install failed ($?)"
  "$run" --stop
  for f in Tavolen.exe installed-layout uninstall.exe qt.conf notify.wav help/index.html \
    platforms/qwindows.dll tavolen-jvlink-bridge64.exe tavolen-jvlink-bridge32.exe; do
    [ -f "$install/$f" ] || fail "$f was not installed into %LOCALAPPDATA%\\Programs\\Tavolen"
  done
  [ -f "$startmenu" ] || fail "no Start menu entry"
  [ ! -e "$desktop_lnk" ] || fail "a desktop shortcut nobody chose"
  [ "$(reg_value "$uninst_key" DisplayVersion)" = 0.99 ] || fail "no DisplayVersion under $uninst_key"
  for v in DisplayName Publisher UninstallString QuietUninstallString DisplayIcon; do
    [ -n "$(reg_value "$uninst_key" $v)" ] || fail "no $v under $uninst_key"
  done
  grep -q '^"EstimatedSize"=dword:0*[1-9a-f]' "$WINEPREFIX/user.reg" || fail "no EstimatedSize"
  [ "$(reg_value "$run_key" Tavolen)" = "$expected_run" ] ||
    fail "the Run value is '$(reg_value "$run_key" Tavolen)', not '$expected_run'"
  grep -q '^use=standin' "$user/Tavolen.ini" && grep -q '^watch=1' "$user/Tavolen.ini" ||
    fail "the settings lost the user's line or did not get the automatic watch: $(cat "$user/Tavolen.ini")"
  echo "installer check: installed silently with its Start menu entry, uninstaller and Run value"

  # 2. Started from the Start menu entry's target: the per-user folder, nothing beside itself.
  local target
  # The link's own path (LocalBasePath) is plain text in it; every line is read, so that the
  # pipe never closes early under pipefail.
  target=$(strings -a "$startmenu" | sed -n '/^[A-Za-z]:\\.*\\[Tt]avolen\.exe$/p')
  target=${target%%$'\n'*}
  [ -n "$target" ] || fail "the Start menu entry names no Tavolen.exe"
  [ "${target,,}" = "${win_local,,}\\programs\\tavolen\\tavolen.exe" ] ||
    fail "the Start menu entry starts $target"
  run_program window "$setup" "$target"
  [ -d "$user/Data" ] && [ -s "$user/ErrorLog.txt" ] || fail "no Data or ErrorLog.txt in %LOCALAPPDATA%\\Tavolen"
  for f in ErrorLog.txt Tavolen.ini Data; do
    [ ! -e "$install/$f" ] || fail "the installed program wrote $f beside itself"
  done

  # 3. Started at sign-in as the Run value says: today fetched and loaded by itself.
  local command
  command=$(reg_value "$run_key" Tavolen)
  rm -f "$user/ErrorLog.txt"
  # shellcheck disable=SC2086
  eval "set -- $(sed 's/\\/\\\\/g' <<<"$command")"
  run_program signin "" "$@"
  grep -q "ログイン時の起動：タスクトレイで常駐します" "$local_unix/tavolen-output.txt" ||
    fail "started at sign-in, Tavolen.exe did not say it stays in the tray"
  [ -n "$(ls -A "$user/Data")" ] || fail "no race data in %LOCALAPPDATA%\\Tavolen\\Data"
  [ ! -e "$install/Data" ] || fail "the installed program wrote Data beside itself"

  # 4. The upgrade: the user's files and the Run value stay.
  local before
  before=$(tree_sums "$user")
  "$run" "$setup" /S || fail "the upgrade failed ($?)"
  "$run" --stop
  local version
  version=$(sed -n 's/.*Tavolen-\(.*\)-setup\.exe$/\1/p' <<<"$setup")
  [ "$(reg_value "$uninst_key" DisplayVersion)" = "$version" ] || fail "the upgrade did not register $version"
  [ "$(tree_sums "$user")" = "$before" ] || fail "the upgrade changed the user's files"
  [ "$(reg_value "$run_key" Tavolen)" = "$expected_run" ] || fail "the upgrade lost the Run value"
  echo "installer check: the upgrade to $version kept the user's files and the Run value"

  # 5. Uninstalled: the program, its entries and its Run value go, the user's folder stays. The
  # uninstaller runs from a copy in the temporary folder; the server's end waits for it.
  "$run" "$win_local\\Programs\\Tavolen\\uninstall.exe" /S
  "$run" --wait
  [ ! -e "$install" ] || fail "the uninstall left $(cd "$install" && find . | head -5)"
  [ ! -e "$startmenu" ] || fail "the uninstall left the Start menu entry"
  [ -z "$(reg_value "$run_key" Tavolen)" ] || fail "the uninstall left the Run value"
  [ -z "$(reg_value "$uninst_key" DisplayName)" ] || fail "the uninstall left its Apps and features entry"
  [ "$(tree_sums "$user")" = "$before" ] || fail "the uninstall changed the user's files"
  echo "installer check: the uninstall kept %LOCALAPPDATA%\\Tavolen and removed the rest"

  # 6. Installed again with a desktop shortcut, then uninstalled with everything.
  "$run" "$setup" /S /DESKTOPICON || fail "the second install failed ($?)"
  "$run" --stop
  [ -f "$desktop_lnk" ] || fail "no desktop shortcut with /DESKTOPICON"
  [ -z "$(reg_value "$run_key" Tavolen)" ] || fail "an install without /AUTOSTART wrote the Run value"
  "$run" "$win_local\\Programs\\Tavolen\\uninstall.exe" /S /REMOVEUSERDATA
  "$run" --wait
  for gone in "$install" "$user" "$local_unix/tavolen-jvlink-standin" "$startmenu" "$desktop_lnk"; do
    [ ! -e "$gone" ] || fail "the uninstall with /REMOVEUSERDATA left $gone"
  done
  echo "installer check: the uninstall with /REMOVEUSERDATA removed everything"
}

case ${1:-} in
  --check)
    check_installer "${2:?usage: installer-windows.sh --check ZIP SETUP}" \
      "${3:?usage: installer-windows.sh --check ZIP SETUP}"
    ;;
  *)
    zip=${1:?usage: installer-windows.sh ZIP [OUT]}
    zip=$(cd "$(dirname "$zip")" && pwd)/$(basename "$zip")
    out=${2:-$(dirname "$zip")}
    mkdir -p "$out"
    make_installer "$zip" "$(cd "$out" && pwd)"
    ;;
esac
