#!/usr/bin/env bash
# Fails when a folder includes a floor it must not see. A folder includes only the floors
# below it and itself:
#   jvlink/   nothing of the project outside itself
#   base/     jvlink/
#   standin/, jvbridge/, acquire/, live/, racecard/   base/ and jvlink/
#   changes/  live/, base/ and jvlink/ (the change watch also fetches the live items)
#   automation/   acquire/, changes/, live/, racecard/, base/ and jvlink/
#   app/      anything
# tests/, bench/ and fuzz/ may include anything.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

allowed() {  # allowed FOLDER -> the folders it may include besides itself
  case $1 in
    jvlink) echo "" ;;
    base) echo "jvlink" ;;
    standin | jvbridge | acquire | live | racecard) echo "base jvlink" ;;
    changes) echo "live base jvlink" ;;
    automation) echo "acquire changes live racecard base jvlink" ;;
    *) echo "*" ;;
  esac
}

status=0
for folder in jvlink base standin jvbridge acquire live changes racecard automation; do
  [ -d "$folder" ] || continue
  ok=" $folder $(allowed "$folder") "
  while IFS= read -r line; do
    file=${line%%:*}
    rest=${line#*:}
    lineNo=${rest%%:*}
    included=$(sed -E 's/.*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$rest")
    [ -d "$included" ] || continue  # a header of the folder itself without a folder prefix
    if [[ $ok != *" $included "* ]]; then
      echo "$file:$lineNo: $folder/ must not include $included/"
      status=1
    fi
  done < <(grep -rnE '#[[:space:]]*include[[:space:]]*"[^/"]+/' "$folder" --include='*.h' --include='*.cpp' || true)
done
if [ $status -eq 0 ]; then echo "layering: every include stays within its floors"; fi
exit $status
