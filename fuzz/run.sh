#!/usr/bin/env bash
# Builds the libFuzzer target with clang (ASan + UBSan) and fuzzes for the given number of
# seconds, starting from the checked-in seed corpus and everything found before.
#   fuzz/run.sh [SECONDS] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${2:-build-fuzz}

CXX=clang++ CC=clang cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSYMDECK_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzz_report

# New inputs go to a scratch corpus; the checked-in seeds and regressions are read only.
work="$build/corpus"
mkdir -p "$work" "$build/artifacts"
status=0
# A smaller quarantine than AddressSanitizer's default keeps the freed report strings from
# counting against the memory limit.
ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=64:malloc_context_size=10} \
"$build/fuzz_report" "$work" fuzz/corpus fuzz/regressions \
  -dict=fuzz/symdeck.dict -max_total_time="$seconds" -timeout=5 -rss_limit_mb=512 \
  -max_len=65536 -print_final_stats=1 -artifact_prefix="$build/artifacts/" \
  > "$build/fuzz.log" 2>&1 || status=$?
grep -E '^#[0-9]+ +(INITED|DONE)|^Done|stat::|ERROR|SUMMARY' "$build/fuzz.log" | tail -n 12 || true
grep -E '^#[0-9]+ ' "$build/fuzz.log" | tail -n 1 || true
if [ "$status" -ne 0 ]; then
  echo "fuzzing found a failure (status $status); the input is in $build/artifacts/" >&2
  echo "keep it as a regression: copy it to fuzz/regressions/" >&2
  tail -n 40 "$build/fuzz.log" >&2
  exit "$status"
fi
echo "fuzzing: no failure in $seconds seconds"
