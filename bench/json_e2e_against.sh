#!/usr/bin/env bash
# End to end, an older build's --json against this build's --json and --json-lines on one
# generated database, in alternating rounds: each run of the program (timed from fork to
# exit by build/timeit, after `sync` and a pause as in bench/e2e.sh) is followed by `cp` of
# its own output. Prints every run, then per form the medians and ranges of the program's
# and cp's times, their ratio and the peak RSS.
#   bench/json_e2e_against.sh OLD_SYMDECK [ROUNDS] [SIZE_MIB]     e.g. ... 7 64
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || { echo "usage: bench/json_e2e_against.sh OLD_SYMDECK [ROUNDS] [SIZE_MIB]" >&2; exit 2; }
old=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
rounds=${2:-7}
size=${3:-64}
bin=$PWD/build
[ -x "$bin/symdeck" ] && [ -x "$bin/make_large" ] && [ -x "$bin/timeit" ] || { echo "build first: make all" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/symdeck-json-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$bin/make_large" "$work/db.nms" "$size" 1
measure() {
  sync
  sleep "${SETTLE:-0.5}"
  "$bin/timeit" "$@"
}
for _ in $(seq "$rounds"); do
  for run in "old:$old:--json:json" "new:$bin/symdeck:--json:json" "new:$bin/symdeck:--json-lines:jsonl"; do
    IFS=: read -r side program flag ext <<< "$run"
    rm -f "$work/db.$ext" "$work/copy"
    read -r t rss < <(measure "$program" "$work/db.nms" "$flag")
    read -r c _ < <(measure cp "$work/db.$ext" "$work/copy")
    echo "$side $flag $t $c $rss $(stat -c %s "$work/db.$ext")" | tee -a "$work/runs"
    rm -f "$work/db.$ext" "$work/copy"
  done
done
python3 - "$work/runs" <<'PY'
import collections, statistics, sys
runs = collections.defaultdict(list)
for line in open(sys.argv[1]):
    side, flag, t, c, rss, size = line.split()
    runs[(side, flag)].append((float(t), float(c), int(rss), int(size)))
for (side, flag), r in runs.items():
    t, c = [x[0] for x in r], [x[1] for x in r]
    print(f"{side} {flag}: {r[0][3] / 2**20:.1f} MiB, program {statistics.median(t):.3f} s "
          f"({min(t):.3f}-{max(t):.3f}), cp {statistics.median(c):.3f} s ({min(c):.3f}-{max(c):.3f}), "
          f"ratio {statistics.median(t) / statistics.median(c):.2f}, peak RSS {max(x[2] for x in r) / 1024:.1f} MiB")
PY
