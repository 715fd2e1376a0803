#!/usr/bin/env bash
# The Windows program as one zip to unpack and run: tavolen-<version>-windows-x64.zip with
# Tavolen.exe, the Qt DLLs and plug-ins it loads (found by following the DLLs' imports), the
# compiler's run-time DLLs, Qt's Japanese texts, qt.conf, notify.wav, the guide and both JV-Link
# bridges.
#   package-windows.sh [OUT]     writes the zip into OUT (default build-win64-qt/package) and
#                                prints its path
#   package-windows.sh --check ZIP
#       unpacks the zip into a fresh folder and a fresh Wine prefix with nothing else installed,
#       starts Tavolen.exe with the Windows platform plug-in on a virtual display and checks
#       that its main window is up, then runs the demo race day through the real windows with
#       the screenshot driver placed beside Tavolen.exe, using the zip's DLLs only; then starts
#       it as at sign-in (--autostart, the automation on) and checks that it stays in the tray
#       and fetches and loads today's race data by itself.
# The builds are build-win64-qt (the program), build-win64 and build-win32 (the bridges); see
# scripts/build-windows.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVOLEN_WINDOWS_BUILD:-$root/build-win64-qt}
objdump=x86_64-w64-mingw32-objdump
strip=x86_64-w64-mingw32-strip

# The DLL names a Windows program or DLL imports.
imports() {
  "$objdump" -p "$1" | sed -n 's/^\s*DLL Name: //p'
}

# The folder of a DLL of Qt or of the compiler, or nothing for a DLL of the system.
find_dll() {
  local name=$1 dir
  for dir in "$qt/bin" "${runtime[@]}"; do
    if [ -f "$dir/$name" ]; then
      echo "$dir/$name"
      return
    fi
  done
}

make_zip() {
  local out=$1
  qt=$(sed -n 's/^TAVOLEN_QT_PREFIX:INTERNAL=//p' "$build/CMakeCache.txt")
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  [ -d "$qt" ] && [ -n "$version" ] || {
    echo "package-windows: $build is no build of the Windows program (scripts/build-windows.sh qt)" >&2
    exit 1
  }
  runtime=()
  for dll in libstdc++-6.dll libwinpthread-1.dll; do
    runtime+=("$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=$dll)")")
  done
  local name="tavolen-$version-windows-x64"
  local stage="$out/$name"
  rm -rf "$stage" "$out/$name.zip"
  mkdir -p "$stage/platforms" "$stage/styles" "$stage/translations"

  cp "$build/app-folder/Tavolen.exe" "$build/app-folder/notify.wav" "$build/app-folder/favourite.wav" \
    "$stage/"
  cp -r "$root/help" "$stage/help"
  cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
  cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
  # Qt's own texts (buttons, context menus) in Japanese, where the program looks for them.
  cp /usr/share/qt6/translations/qtbase_ja.qm "$stage/translations/"
  # Qt's folders are the program's folder: plug-ins beside it, translations below it.
  printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\nTranslations = translations\r\n' >"$stage/qt.conf"

  # The bridges, named after their bitness; an older build names both tavolen-jvlink-bridge.exe.
  local bits dir
  for bits in 64 32; do
    dir="$root/build-win$bits/jvbridge"
    if [ -f "$dir/tavolen-jvlink-bridge$bits.exe" ]; then
      cp "$dir/tavolen-jvlink-bridge$bits.exe" "$stage/"
    elif [ -f "$dir/tavolen-jvlink-bridge.exe" ]; then
      cp "$dir/tavolen-jvlink-bridge.exe" "$stage/tavolen-jvlink-bridge$bits.exe"
    else
      echo "package-windows: no $bits-bit JV-Link bridge in $dir (scripts/build-windows.sh $bits)" >&2
      exit 1
    fi
  done

  # Every DLL the program and its plug-ins load, followed to the end.
  local queue=("$stage/Tavolen.exe" "$stage/platforms/qwindows.dll" "$stage/styles/qwindowsvistastyle.dll")
  local seen=" " file dll found
  while [ ${#queue[@]} -gt 0 ]; do
    file=${queue[0]}
    queue=("${queue[@]:1}")
    for dll in $(imports "$file"); do
      case $seen in *" $dll "*) continue ;; esac
      seen+="$dll "
      found=$(find_dll "$dll")
      [ -n "$found" ] || continue
      cp "$found" "$stage/"
      queue+=("$stage/$dll")
    done
  done
  find "$stage" \( -name '*.exe' -o -name '*.dll' \) -exec "$strip" --strip-unneeded {} +
  (cd "$out" && cmake -E tar cf "$name.zip" --format=zip "$name")
  rm -rf "$stage"
  echo "$out/$name.zip"
}

check_zip() {
  local zip
  zip=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
  work=$(mktemp -d "${TMPDIR:-/tmp}/tavolen-zip-check.XXXXXX")
  trap 'WINEPREFIX="$work/prefix" "$root/scripts/wine-run.sh" --done; rm -rf "$work"' EXIT
  (cd "$work" && cmake -E tar xf "$zip")
  local folder
  folder=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'tavolen-*-windows-x64')
  [ -f "$folder/Tavolen.exe" ] || { echo "zip check: no Tavolen.exe in the zip" >&2; exit 1; }
  export WINEPREFIX="$work/prefix"
  unset TAVOLEN_WINE_DLLPATH QT_PLUGIN_PATH QT_QPA_PLATFORM_PLUGIN_PATH QT_QPA_FONTDIR
  "$root/scripts/wine-run.sh" --init
  "$root/scripts/wine-run.sh" --japanese-fonts
  export QT_QPA_PLATFORM=windows

  # Without settings the Windows program reaches the real JV-Link through its bridge; the check
  # has none installed and chooses the stand-in's demo day, as a user trying it does.
  printf '[JVLink]\r\nuse=standin\r\n' >"$folder/Tavolen.ini"
  # The program itself: single instance, folders, stand-in, main window on the display.
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    set -u
    cd "$1"
    "$2" --display "$1/Tavolen.exe" &
    for i in $(seq 1 60); do
      sleep 1
      if [ -s ErrorLog.txt ] && xwininfo -root -tree | grep -q "Tavolen for JRA-VAN Data Lab."; then
        echo "zip check: Tavolen.exe shows its main window after ${i} s"
        exit 0
      fi
    done
    echo "zip check: Tavolen.exe showed no main window within 60 s" >&2
    ls -la >&2
    exit 1
  ' check "$folder" "$root/scripts/wine-run.sh"
  "$root/scripts/wine-run.sh" --stop
  [ -d "$folder/Data" ] || { echo "zip check: Tavolen.exe made no Data folder beside it" >&2; exit 1; }

  # The demo race day through the real windows, with the zip's DLLs only.
  cp "$build/tests/app/tavolen_screenshots.exe" "$folder/"
  xvfb-run -a -s "-screen 0 1280x800x24" "$root/scripts/wine-run.sh" --display \
    "$folder/tavolen_screenshots.exe" 'Z:'"${work//\//\\}"'\pictures'
  local p
  for p in main-start acquisition main changes main-changes interval about; do
    [ -s "$work/pictures/$p.png" ] || { echo "zip check: $p.png was not made" >&2; exit 1; }
  done
  echo "zip check: the demo race day ran through the windows of the unpacked zip"

  # Started at sign-in as the Run value starts it (--autostart), with the automation on: into
  # the tray without a window, and today's race data fetched and loaded by itself.
  printf '[JVLink]\r\nuse=standin\r\n[Auto]\r\nwatch=1\r\n' >"$folder/Tavolen.ini"
  rm -f "$folder/ErrorLog.txt"
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    set -u
    cd "$1"
    "$2" --display "$1/Tavolen.exe" --autostart 2>signin.txt &
    for i in $(seq 1 60); do
      sleep 1
      log=$(iconv -f CP932 -t UTF-8 ErrorLog.txt 2>/dev/null) || continue
      grep -q "【記録】.*\(の開催を読み込みました\|の開催はありません\)" <<<"$log" || continue
      if xwininfo -root -tree | grep -q "Tavolen for JRA-VAN Data Lab."; then
        echo "zip check: started at sign-in, Tavolen.exe showed its main window" >&2
        exit 1
      fi
      echo "zip check: started at sign-in, Tavolen.exe stayed in the tray; after ${i} s: $(grep -o "【記録】.*" <<<"$log" | tail -1)"
      exit 0
    done
    echo "zip check: started at sign-in, Tavolen.exe did not fetch and load today within 60 s" >&2
    iconv -f CP932 -t UTF-8 ErrorLog.txt >&2
    cat signin.txt >&2
    exit 1
  ' check "$folder" "$root/scripts/wine-run.sh"
  "$root/scripts/wine-run.sh" --stop
  # The program's own output is UTF-8.
  grep -q "ログイン時の起動：タスクトレイで常駐します" "$folder/signin.txt" || {
    echo "zip check: started at sign-in, Tavolen.exe did not say it stays in the tray" >&2
    exit 1
  }
}

case ${1:-} in
  --check)
    check_zip "${2:?usage: package-windows.sh --check ZIP}"
    ;;
  *)
    out=${1:-$build/package}
    mkdir -p "$out"
    make_zip "$(cd "$out" && pwd)"
    ;;
esac
