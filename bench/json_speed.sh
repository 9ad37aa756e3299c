#!/usr/bin/env bash
# The JSON forms' rendering speed in memory against an older build's, in interleaved runs:
# ROUNDS rounds, each running both builds' bench_walk (which goes first alternates), three
# repetitions each, on the generated databases of SIZES MiB, in the --json form and, where
# the build has it, the --json-lines form. Prints, per form and size, the medians over the
# rounds of the document's size, CPU and wall time, and bytes of output per CPU second and
# per wall second, with NEW's bytes per second against OLD's in the same form (against
# OLD's --json when OLD predates --json-lines).
#   bench/json_speed.sh OLD_BENCH NEW_BENCH [ROUNDS] [SIZES...]    e.g. ... 6 16 64
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: bench/json_speed.sh OLD_BENCH NEW_BENCH [ROUNDS] [SIZES...]" >&2; exit 2; }
old=$1
new=$2
rounds=${3:-6}
shift 2
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(16 64)
alternatives=$(IFS='|'; echo "${sizes[*]}")
results=$(mktemp)
trap 'rm -f "$results"' EXIT

run() {  # side, program, filter
  "$2" --benchmark_filter="$3" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    --benchmark_format=csv 2>/dev/null | grep '_median"' | sed "s/^/$1,/" >> "$results"
}
for r in $(seq 1 "$rounds"); do
  if [ $((r % 2)) -eq 1 ]; then order=(old new); else order=(new old); fi
  for side in "${order[@]}"; do
    program=$old
    [ "$side" = new ] && program=$new
    run "$side" "$program" "BM_WholeFileJson(Lines)?/($alternatives)\$"
  done
done

python3 - "$results" "$rounds" <<'PY'
import collections, csv, statistics, sys
rows = collections.defaultdict(list)
for line in open(sys.argv[1]):
    side, rest = line.split(',', 1)
    row = next(csv.reader([rest]))
    name = row[0].replace('BM_WholeFile', '').replace('_median', '')
    # real ms, cpu ms, bytes per CPU second, report MB
    rows[(side, name)].append((float(row[2]), float(row[3]), float(row[5]), float(row[11])))
med = lambda values: statistics.median(values)
print(f"medians of {sys.argv[2]} interleaved rounds (each the median of 3 repetitions)")
print("| build | form/MiB | document MB | cpu ms | wall ms | GiB/s per cpu s (rounds' range) | GiB/s per wall s | against old (cpu) | (wall) |")
print("|---|---|---|---|---|---|---|---|---|")
base = {}
for (side, name) in sorted(rows, key=lambda k: (int(k[1].split('/')[1]), k[0] != 'old', k[1])):
    r = rows[(side, name)]
    wall, cpu, mb = med(t[0] for t in r), med(t[1] for t in r), med(t[3] for t in r)
    size = name.split('/')[1]
    rate_cpu, rate_wall = mb * 1e6 / (cpu / 1e3) / 2**30, mb * 1e6 / (wall / 1e3) / 2**30
    rates = [t[3] * 1e6 / (t[1] / 1e3) / 2**30 for t in r]
    if side == 'old':
        base[name] = (rate_cpu, rate_wall)
    reference = base.get(name) or base.get('Json/' + size)
    if side == 'new' and reference:
        against = f"{(rate_cpu / reference[0] - 1) * 100:+.1f}% | {(rate_wall / reference[1] - 1) * 100:+.1f}%"
    else:
        against = ' | '
    print(f"| {side} | {name} | {mb:.1f} | {cpu:.1f} | {wall:.1f} | {rate_cpu:.2f} ({min(rates):.2f}-{max(rates):.2f}) | {rate_wall:.2f} | {against} |")
PY
