#!/usr/bin/env bash
# The Python package against the program on one generated database (docs/python.md):
#   bench/python.sh [RUNS] [MEBIBYTES]      (default 3 runs of make_large 64)
# Rows: the program's --json-lines and a Python process that opens the database and reads
# every field's name, value, role and target (bench/python_walk.py fields); the program's
# text report and db.report("text") (python_walk.py text). Each to /dev/null, the whole
# process measured by /usr/bin/time (wall seconds, CPU seconds: user and system, of every
# thread, and peak RSS), medians. The package must be
# installed for /usr/bin/python3 or found through PYTHONPATH (docs/python.md).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
size=${2:-64}
bin=build
python=/usr/bin/python3
[ -x "$bin/symdeck" ] && [ -x "$bin/make_large" ] || { echo "build first: make all" >&2; exit 1; }
"$python" -c 'import symdeck' || { echo "install the package first (docs/python.md)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/symdeck-python.XXXXXX")
trap 'rm -rf "$work"' EXIT
db="$work/db.nms"
"$bin/make_large" "$db" "$size"
db_mib=$(stat -c %s "$db" | awk '{ printf "%.1f", $1 / 1048576 }')

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Prints "wall_seconds cpu_seconds peak_MiB", the medians of the runs.
run() {
  : > "$work/w"; : > "$work/c"; : > "$work/r"
  for _ in $(seq "$runs"); do
    sync
    /usr/bin/time -o "$work/one" -f "%e %U %S %M" "$@" > /dev/null
    read -r w u s r < "$work/one"
    echo "$w" >> "$work/w"; echo "$u $s" | awk '{ print $1 + $2 }' >> "$work/c"; echo "$r" >> "$work/r"
  done
  echo "$(median < "$work/w") $(median < "$work/c") $(median < "$work/r" | awk '{ printf "%.1f", $1 / 1024 }')"
}

echo "Database: make_large $size, $db_mib MiB; medians of $runs runs"
echo
echo "| what | wall s | CPU s | peak RSS MiB |"
echo "|---|---|---|---|"
read -r w c r < <(run "$bin/symdeck" "$db" --json-lines -o /dev/null); jl=$c
echo "| symdeck --json-lines -o /dev/null | $w | $c | $r |"
read -r w c r < <(run "$python" bench/python_walk.py fields "$db"); pf=$c
echo "| Python: every field's name, value, role, target | $w | $c | $r |"
read -r w c r < <(run "$bin/symdeck" "$db" -o /dev/null); tx=$c
echo "| symdeck -o /dev/null | $w | $c | $r |"
read -r w c r < <(run "$python" bench/python_walk.py text "$db"); pt=$c
echo "| Python: db.report(\"text\") | $w | $c | $r |"
echo
awk -v a="$pf" -v b="$jl" -v c="$pt" -v d="$tx" 'BEGIN {
  printf "CPU time, fields / --json-lines: %.1f; report(\"text\") / text report: %.1f\n", a / b, c / d }'
