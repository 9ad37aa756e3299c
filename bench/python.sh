#!/usr/bin/env bash
# The Python package against the program on one generated database (docs/python.md):
#   bench/python.sh [RUNS] [MEBIBYTES]      (default 3 runs of make_large 64)
# Rows: the program's --json-lines and a Python process that opens the database and reads
# every field's name, value, role and target (bench/python_walk.py fields); the program's
# text report and db.report("text") (python_walk.py text). Each to /dev/null, the whole
# process timed by build/timeit (wall seconds and peak RSS), medians. The package must be
# installed for /usr/bin/python3 or found through PYTHONPATH (docs/python.md).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
size=${2:-64}
bin=build
python=/usr/bin/python3
[ -x "$bin/symdeck" ] && [ -x "$bin/make_large" ] && [ -x "$bin/timeit" ] || { echo "build first: make all" >&2; exit 1; }
"$python" -c 'import symdeck' || { echo "install the package first (docs/python.md)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/symdeck-python.XXXXXX")
trap 'rm -rf "$work"' EXIT
db="$work/db.nms"
"$bin/make_large" "$db" "$size"
db_mib=$(stat -c %s "$db" | awk '{ printf "%.1f", $1 / 1048576 }')

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Prints "seconds peak_MiB", the medians of the runs.
run() {
  : > "$work/t"; : > "$work/r"
  for _ in $(seq "$runs"); do
    sync
    read -r t r < <("$bin/timeit" "$@")
    echo "$t" >> "$work/t"; echo "$r" >> "$work/r"
  done
  echo "$(median < "$work/t") $(median < "$work/r" | awk '{ printf "%.1f", $1 / 1024 }')"
}

echo "Database: make_large $size, $db_mib MiB; medians of $runs runs"
echo
echo "| what | seconds | peak RSS MiB |"
echo "|---|---|---|"
read -r t r < <(run "$bin/symdeck" "$db" --json-lines -o /dev/null); jl=$t
echo "| symdeck --json-lines -o /dev/null | $t | $r |"
read -r t r < <(run "$python" bench/python_walk.py fields "$db"); pf=$t
echo "| Python: every field's name, value, role, target | $t | $r |"
read -r t r < <(run "$bin/symdeck" "$db" -o /dev/null); tx=$t
echo "| symdeck -o /dev/null | $t | $r |"
read -r t r < <(run "$python" bench/python_walk.py text "$db"); pt=$t
echo "| Python: db.report(\"text\") | $t | $r |"
echo
awk -v a="$pf" -v b="$jl" -v c="$pt" -v d="$tx" 'BEGIN {
  printf "fields / --json-lines: %.2f; report(\"text\") / text report: %.2f\n", a / b, c / d }'
