#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each on its seed corpus: fuzz.sh [SECONDS] [BUILD]
# (default 30 seconds each, build folder build-fuzz). Fails on any finding; the input that
# caused it is kept as BUILD/fuzz/artifacts/<target>/crash-... for replaying:
#   BUILD/fuzz/<target> BUILD/fuzz/artifacts/<target>/crash-...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
build=${2:-$root/build-fuzz}
case $seconds in '' | *[!0-9]*)
  echo "usage: $0 [SECONDS] [BUILD]" >&2
  exit 2
  ;;
esac

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DTAVOLEN_FUZZ=ON -DTAVOLEN_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
mapfile -t targets < <(grep -v '^$' "$build/fuzz/fuzzers.txt")
cmake --build "$build" --target "${targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for t in "${targets[@]}"; do
  # New inputs go to a scratch corpus in the build folder; the seed folder stays as committed.
  work=$build/fuzz/work/$t
  artifacts=$build/fuzz/artifacts/$t
  mkdir -p "$work" "$artifacts"
  echo "== $t: ${seconds}s"
  if ! "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$work" "$root/fuzz/corpus/$t" 2>"$build/fuzz/$t.log"; then
    tail -n 40 "$build/fuzz/$t.log" >&2
    failed+=("$t")
  else
    grep -E '^stat::(number_of_executed_units|new_units_added)' "$build/fuzz/$t.log" || true
  fi
done
if ((${#failed[@]})); then
  echo "fuzz findings in: ${failed[*]} (inputs in $build/fuzz/artifacts)" >&2
  exit 1
fi
echo "no findings"
