#!/usr/bin/env bash
# Fuzzing: fuzz.sh [SECONDS] [BUILD]
# Builds every fuzz target with clang (ASan + UBSan), replays each seed corpus, then fuzzes each
# target for SECONDS (default 30) from a fresh scratch corpus. Fails on any finding: a crash, a
# failed check, a sanitizer report, a leak, a timeout (10 s per input) or running out of memory
# (2048 MB). Inputs that caused findings are kept under BUILD/fuzz-ci/artifacts/<target>/ and can
# be replayed with BUILD/fuzz/<target> <input>.
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

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
out=$build/fuzz-ci
rm -rf "$out"
failed=()
for t in "${targets[@]}"; do
  work=$out/work/$t
  artifacts=$out/artifacts/$t
  log=$out/$t.log
  mkdir -p "$work" "$artifacts"
  seeds=$root/fuzz/corpus/$t
  echo "== $t: seeds, then ${seconds}s"
  flags=(-timeout=10 -rss_limit_mb=2048 -artifact_prefix="$artifacts/")
  # A hard limit on top of libFuzzer's own, should a target hang outside an input.
  guard=$((seconds + 120))
  if ! timeout "$guard" "$build/fuzz/$t" "${flags[@]}" -runs=0 "$seeds" >"$log" 2>&1; then
    echo "   a seed input fails" >&2
    tail -n 40 "$log" >&2
    failed+=("$t")
    continue
  fi
  if ! timeout "$guard" "$build/fuzz/$t" "${flags[@]}" -max_total_time="$seconds" \
    -print_final_stats=1 "$work" "$seeds" >>"$log" 2>&1; then
    tail -n 40 "$log" >&2
    failed+=("$t")
    continue
  fi
  runs=$(grep -a '^stat::number_of_executed_units' "$log" | awk '{print $2}' | tail -n 1)
  added=$(grep -a '^stat::new_units_added' "$log" | awk '{print $2}' | tail -n 1)
  echo "   ${runs:-?} inputs, ${added:-?} new, no findings"
done
passed=$((${#targets[@]} - ${#failed[@]}))
if ((${#failed[@]})); then
  echo "fuzz findings in: ${failed[*]} (inputs in $out/artifacts, logs in $out)" >&2
  echo "fuzzing: $passed passed, ${#failed[@]} failed"
  exit 1
fi
echo "fuzzing: no findings in ${#targets[@]} targets"
echo "fuzzing: $passed passed, 0 failed"
