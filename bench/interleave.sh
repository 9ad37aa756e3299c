#!/usr/bin/env bash
# Interleaved runs of two builds of bench_walk on the whole generated database (16 and 64 MiB,
# text and JSON): ROUNDS rounds, each running OLD then NEW with three repetitions, and the
# median CPU and wall times of each build over the rounds.
#   bench/interleave.sh OLD_BENCH NEW_BENCH [ROUNDS]
set -euo pipefail
old=$1
new=$2
rounds=${3:-6}
results=$(mktemp)
trap 'rm -f "$results"' EXIT
for r in $(seq 1 "$rounds"); do
  for side in old new; do
    program=$old
    [ "$side" = new ] && program=$new
    "$program" --benchmark_filter='BM_WholeFile(Json)?/(16|64)$' --benchmark_repetitions=3 \
      --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
      grep median | sed "s/^/$side,/" >> "$results"
  done
done
python3 - "$results" <<'PY'
import collections, csv, statistics, sys
times = collections.defaultdict(lambda: collections.defaultdict(list))
for line in open(sys.argv[1]):
    side, rest = line.split(',', 1)
    row = next(csv.reader([rest]))
    times[row[0]][side].append((float(row[2]), float(row[3])))
for name in sorted(times):
    old, new = times[name]['old'], times[name]['new']
    cpu = [statistics.median(t[1] for t in s) for s in (old, new)]
    wall = [statistics.median(t[0] for t in s) for s in (old, new)]
    print(f"{name:28s} cpu {cpu[0]:8.1f} -> {cpu[1]:8.1f} ms ({(cpu[1] / cpu[0] - 1) * 100:+.1f}%)"
          f"   wall {wall[0]:8.1f} -> {wall[1]:8.1f} ms ({(wall[1] / wall[0] - 1) * 100:+.1f}%)")
PY
