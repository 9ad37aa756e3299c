#!/usr/bin/env bash
# Runs the Linux and the Windows program (under Wine) on the same databases with the same
# arguments and compares, byte for byte, the report files, standard output and the exit
# status:
#   tools/compare-windows.sh [LINUX_BUILD] [WINDOWS_BUILD]
# The databases: LINUX_BUILD/sample.nms and every file of fuzz/corpus, damaged ones among
# them. The viewer's pages (--html, and the page without a database) are compared as well:
# both builds embed the page made on this machine, so where one has a viewer, both must.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
linux="$root/${1:-build}"
windows="$root/${2:-build-windows}"
for f in "$linux/symdeck" "$linux/sample.nms" "$windows/symdeck.exe" "$windows/wine-run"; do
  [ -e "$f" ] || { echo "compare-windows: $f is missing (make all windows)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/symdeck-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Argument lists after the database's name; REPORT stands for the report's name.
argument_sets=(
  "REPORT"
  "REPORT +nm32"
  "REPORT -symd -sttb"
  "REPORT +nmtp +tytb"
  "REPORT --json"
  "REPORT --check"
  "-o -"
  "--explain=0x0 --explain=0x40 --explain=0x57D --explain=0x100000"
  "--html -o REPORT"
  "--html -o -"
  "-o - --html -nmtp --check"
)

databases=("$linux/sample.nms" "$root"/fuzz/corpus/*)
compared=0
failed=0
# Runs one side: SIDE (linux or windows), the database's name, the arguments. Leaves
# SIDE.out (standard output), SIDE.status and SIDE.txt (the report, if any) in $work.
run_side() {
  local side=$1 db=$2
  shift 2
  local args=()
  for a in "$@"; do [ "$a" = REPORT ] && args+=("$side.txt") || args+=("$a"); done
  rm -f "$work/$side.txt"
  set +e
  if [ "$side" = linux ]; then
    (cd "$work" && "$linux/symdeck" "$db" "${args[@]}" > "$side.out" 2>/dev/null)
  else
    (cd "$work" && "$windows/wine-run" "$windows/symdeck.exe" "$db" "${args[@]}" > "$side.out" 2>/dev/null)
  fi
  echo $? > "$work/$side.status"
  set -e
}

for db in "${databases[@]}"; do
  cp "$db" "$work/db.nms"
  for set in "${argument_sets[@]}"; do
    # shellcheck disable=SC2086 # the sets are split into words on purpose
    run_side linux db.nms $set
    # shellcheck disable=SC2086
    run_side windows db.nms $set
    for part in out status txt; do
      if ! cmp -s "$work/linux.$part" "$work/windows.$part" 2>/dev/null &&
         { [ -e "$work/linux.$part" ] || [ -e "$work/windows.$part" ]; }; then
        echo "DIFFERENT: $(basename "$db") [$set]: $part" >&2
        failed=$((failed + 1))
      fi
    done
    compared=$((compared + 1))
  done
done

# The page without a database, as each build installs it.
page=viewer/symdeck-viewer.html
if [ -e "$linux/$page" ] || [ -e "$windows/$page" ]; then
  if ! cmp -s "$linux/$page" "$windows/$page"; then
    echo "DIFFERENT: $page" >&2
    failed=$((failed + 1))
  fi
  compared=$((compared + 1))
fi
echo "$((compared - failed)) passed, $failed failed: Linux and Windows runs compared on ${#databases[@]} databases"
[ "$failed" -eq 0 ]
