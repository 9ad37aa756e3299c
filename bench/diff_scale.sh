#!/usr/bin/env bash
# The diff's cost on two large databases against writing both JSON documents:
#   bench/diff_scale.sh [MEBIBYTES] [BUILD] [RUNS]     (64, build, 3)
# A is `make_large A MEBIBYTES`; B is a later build of the same database,
# `make_large B MEBIBYTES 1 later`: a procedure added in the middle of four segments, four
# type records changed, and the sections in another order.
# Prints, per run, the time (wall and CPU: user + system) and the peak resident size of
# `symdeck --diff A B -o /dev/null` and of `symdeck A --json -o /dev/null` + the same for B,
# and the medians; then the two goals: the diff in at most twice the time of both JSON
# documents, its peak memory at most three times the two inputs plus 32 MiB.
set -euo pipefail
size=${1:-64}
build=${2:-build}
runs=${3:-3}
symdeck=$build/symdeck
[ -x "$symdeck" ] && [ -x "$build/make_large" ] || { echo "diff_scale.sh: build symdeck and make_large in $build first" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
a=$work/a.nms
b=$work/b.nms

"$build/make_large" "$a" "$size"
"$build/make_large" "$b" "$size" 1 later
bytes=$(stat -c %s "$a")
echo "A: $bytes bytes; B: $(stat -c %s "$b") bytes"
"$symdeck" --diff "$a" "$b" | tail -n 1 || true

measure() {  # command...: prints "wall_seconds cpu_seconds peak_kib"
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" > /dev/null || [ $? -eq 1 ]
  # time puts "Command exited with non-zero status 1" before its figures: the last line.
  tail -n 1 "$work/time" | awk '{ printf "%.2f %.2f %d\n", $1, $2 + $3, $4 }'
}
printf '| run | diff wall s | diff CPU s | diff peak KiB | JSON A+B wall s | JSON A+B CPU s | JSON peak KiB (larger) |\n|---|---|---|---|---|---|---|\n'
: > "$work/rows"
for r in $(seq 1 "$runs"); do
  read -r dw dt dm < <(measure "$symdeck" --diff "$a" "$b" -o /dev/null)
  read -r jaw ja jam < <(measure "$symdeck" "$a" --json -o /dev/null)
  read -r jbw jb jbm < <(measure "$symdeck" "$b" --json -o /dev/null)
  jt=$(awk -v x="$ja" -v y="$jb" 'BEGIN { printf "%.2f", x + y }')
  jw=$(awk -v x="$jaw" -v y="$jbw" 'BEGIN { printf "%.2f", x + y }')
  jm=$(( jam > jbm ? jam : jbm ))
  printf '| %d | %s | %s | %d | %s | %s | %d |\n' "$r" "$dw" "$dt" "$dm" "$jw" "$jt" "$jm"
  echo "$dw $dt $dm $jw $jt $jm" >> "$work/rows"
done
python3 - "$work/rows" "$bytes" <<'PY'
import statistics, sys
rows = [list(map(float, line.split())) for line in open(sys.argv[1])]
inputs = 2 * int(sys.argv[2])
dw, dt, dm, jw, jt, jm = (statistics.median(column) for column in zip(*rows))
limit = (3 * inputs + 32 * 1048576) / 1024
print(f"medians: diff {dw:.2f} s ({dt:.2f} s CPU), {dm:,.0f} KiB; both JSON documents {jw:.2f} s ({jt:.2f} s CPU)")
# A large pair is walked on two threads, so the diff's CPU time runs ahead of its wall time.
print(f"time: diff / JSON = {dw / jw:.2f} (goal at most 2): {'met' if dw <= 2 * jw else 'missed'}; "
      f"in CPU time {dt / jt:.2f}")
print(f"memory: {dm:,.0f} KiB against 3 x inputs + 32 MiB = {limit:,.0f} KiB "
      f"({dm / limit:.2f} of it): {'met' if dm <= limit else 'missed'}")
PY
