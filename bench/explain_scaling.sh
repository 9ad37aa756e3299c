#!/usr/bin/env bash
# How explain's time and memory grow with the number of offsets, on databases where the
# walk finds the offsets, where it stops early and finds nothing, where a section flag
# leaves a million directory entries out, and where one name is held by every row of the
# string table. Offsets 1000, 1050, 1100, ... (as many as asked), each case run RUNS times.
#   bench/explain_scaling.sh [RUNS] [OFFSET_COUNTS...]      e.g. bench/explain_scaling.sh 3 5000 20000 40000 80000
# BIN=DIR takes the programs from DIR instead of build/ (to compare two builds).
# Prints a Markdown table of medians: user and wall seconds, the peak resident size that
# /usr/bin/time reports, the bytes of answers, and the user time per offset, which stays
# flat when the cost is linear in the offsets.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(5000 20000 40000 80000)
bin=${BIN:-build}
for tool in symdeck make_large make_directory make_quadratic; do
  [ -x "$bin/$tool" ] || [ -x "build/$tool" ] || { echo "build first: make all ($tool is missing)" >&2; exit 1; }
done
tool() { if [ -x "$bin/$1" ]; then echo "$bin/$1"; else echo "build/$1"; fi; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (apt-get install time)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/symdeck-explain.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$(tool make_large)" "$work/sound.nms" 4 1
# The same database with its directory's signature spoiled: the walk stops at the
# directory, and nearly every offset finds nothing.
cp "$work/sound.nms" "$work/damaged.nms"
printf 'XXXX' | dd of="$work/damaged.nms" bs=1 seek=$((0x244)) conv=notrunc status=none
"$(tool make_directory)" "$work/gtyp.nms" 1000000
"$(tool make_quadratic)" "$work/q16.nms" 16

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Runs symdeck RUNS times with the arguments; prints the row of the table.
measure() {
  local label=$1 count=$2
  shift 2
  : > "$work/user"; : > "$work/wall"; : > "$work/rss"
  for _ in $(seq "$runs"); do
    /usr/bin/time -o "$work/time" -f "%U %e %M" "$(tool symdeck)" "$@" > "$work/answers"
    read -r user wall rss < "$work/time"
    echo "$user" >> "$work/user"; echo "$wall" >> "$work/wall"; echo "$rss" >> "$work/rss"
  done
  local bytes
  bytes=$(stat -c %s "$work/answers")
  awk -v l="$label" -v n="$count" -v u="$(median < "$work/user")" -v w="$(median < "$work/wall")" \
      -v r="$(median < "$work/rss")" -v b="$bytes" 'BEGIN {
    printf "| %s | %d | %.2f | %.2f | %.1f | %.1f | %.1f |\n", l, n, u, w, r / 1024, b / 1e6, u / n * 1e6 }'
}

offsets() { awk -v n="$1" 'BEGIN { for (i = 0; i < n; ++i) printf "--explain=%d\n", 1000 + 50 * i }' > "$work/offsets"; }

echo "| database | offsets | user s | wall s | peak RSS MiB | answers MB | user µs per offset |"
echo "|---|---|---|---|---|---|---|"
for count in "${counts[@]}"; do
  offsets "$count"
  mapfile -t args < "$work/offsets"
  measure "sound, 4 MiB" "$count" "$work/sound.nms" "${args[@]}"
  measure "sound, +nm32 --json" "$count" "$work/sound.nms" +nm32 --json "${args[@]}"
  measure "directory spoiled" "$count" "$work/damaged.nms" "${args[@]}"
  measure "1,000,000 GTYP entries" "$count" "$work/gtyp.nms" "${args[@]}"
  measure "1,000,000 GTYP entries, -gtyp" "$count" "$work/gtyp.nms" -gtyp "${args[@]}"
done
# One offset in a name that every row of the string table names: the walk runs to its size
# limit; the answers stay a few KiB.
measure "16 MiB, one name in every row" 1 "$work/q16.nms" --explain=0x8002C0
measure "16 MiB, one name in every row, --json" 1 "$work/q16.nms" --json --explain=0x8002C0
