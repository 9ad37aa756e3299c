#!/usr/bin/env bash
# End-to-end measurement of the real program on generated databases, in the forms of the
# report FORMS names (default "text json": the text, and JSON with --json; "jsonl" is
# --json-lines), beside two references measured in the same run: xxd of the same input
# (what a user would otherwise read) and cp of the finished report to a new file (the cost
# of just writing those bytes; for each form, cp of its own output).
#   bench/e2e.sh [RUNS] [SIZES_MIB...]      e.g. bench/e2e.sh 5 1 4 16 64
#   FORMS="json jsonl" bench/e2e.sh 5 64
# NAMES=random makes every name reference fall anywhere in the string table (the worst
# case for the caches) instead of where a real module's would.
# Prints a Markdown table of medians, and the time of starting /bin/true the same way
# (what every run pays before any work). Needs a Release build in build/ (make all).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1 4 16 64)
bin=build
[ -x "$bin/symdeck" ] && [ -x "$bin/make_large" ] && [ -x "$bin/timeit" ] || { echo "build first: make all" >&2; exit 1; }
command -v xxd >/dev/null || { echo "xxd is needed (apt-get install xxd)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/symdeck-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Runs a command once; prints "seconds peak_rss_kib" (timeit: fork to exit, and the peak
# resident size that /usr/bin/time would report). The dirty pages of earlier runs are
# written out first, and the disk given a moment to settle (freed space is discarded in
# the background), so that no run pays for the one before it.
measure() {
  sync
  sleep "${SETTLE:-0.5}"
  "$bin/timeit" "$@"
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: > "$work/t.true"
for _ in $(seq "$runs"); do measure /bin/true | cut -d' ' -f1 >> "$work/t.true"; done
echo "Starting /bin/true: $(median < "$work/t.true") s (median of $runs)"
echo
echo "| input MiB | form | report MiB | symdeck s | report MB/s | peak RSS MiB | xxd s | cp s | symdeck/xxd | symdeck/cp | s per input MiB |"
echo "|---|---|---|---|---|---|---|---|---|---|---|"
for size in "${sizes[@]}"; do
  db="$work/db$size.nms"
  "$bin/make_large" "$db" "$size" 1 ${NAMES:-}
  for form in ${FORMS:-text json}; do
    # The report beside the database, named as the program names it by default.
    case $form in
      text) out="$work/db$size.txt"; flags=() ;;
      json) out="$work/db$size.json"; flags=(--json) ;;
      jsonl) out="$work/db$size.jsonl"; flags=(--json-lines) ;;
      *) echo "unknown form $form (text, json or jsonl)" >&2; exit 2 ;;
    esac
    : > "$work/t.sym"; : > "$work/t.xxd"; : > "$work/t.cp"; : > "$work/rss.sym"
    for _ in $(seq "$runs"); do
      rm -f "$out"
      read -r t r < <(measure "$bin/symdeck" "$db" "${flags[@]}")
      [ -s "$out" ] || { echo "no report at $out" >&2; exit 1; }
      echo "$t" >> "$work/t.sym"; echo "$r" >> "$work/rss.sym"
      rm -f "$work/dump.xxd"
      read -r t _ < <(measure -o "$work/dump.xxd" xxd "$db")
      echo "$t" >> "$work/t.xxd"
      rm -f "$work/copy"
      read -r t _ < <(measure cp "$out" "$work/copy")
      echo "$t" >> "$work/t.cp"
    done
    in_bytes=$(stat -c %s "$db")
    out_bytes=$(stat -c %s "$out")
    tsym=$(median < "$work/t.sym"); txxd=$(median < "$work/t.xxd"); tcp=$(median < "$work/t.cp")
    rss=$(median < "$work/rss.sym")
    awk -v i="$in_bytes" -v o="$out_bytes" -v s="$tsym" -v x="$txxd" -v c="$tcp" -v r="$rss" -v f="$form" 'BEGIN {
      printf "| %.1f | %s | %.1f | %.3f | %.0f | %.1f | %.3f | %.3f | %.2f | %.2f | %.4f |\n",
        i / 1048576, f, o / 1048576, s, o / s / 1e6, r / 1024, x, c, s / x, s / c, s / (i / 1048576) }'
    rm -f "$out" "$work/dump.xxd" "$work/copy"
  done
  rm -f "$db"
done
