#!/usr/bin/env bash
# Runs the native program and the WebAssembly one (build-wasm/symdeck-wasm, under node) on
# the same databases with the same arguments and compares, byte for byte, every file the run
# leaves (the report, by its default name or by -o), standard output, standard error and the
# exit status; then drives symdeck-core.wasm from one node process over the same databases
# and every damage sweep input, and compares each form's bytes with the native core's:
#   tools/compare-wasm.sh [NATIVE_BUILD] [WASM_BUILD]
# The databases of the program runs: NATIVE_BUILD/sample.nms, every file of fuzz/corpus and
# fuzz/regressions, and 50 fixed damage sweep inputs (every 123rd of make_damage's list).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
absolute() { case $1 in /*) echo "$1" ;; *) echo "$root/$1" ;; esac; }
native=$(absolute "${1:-build}")
wasm=$(absolute "${2:-build-wasm}")
for f in "$native/symdeck" "$native/sample.nms" "$native/make_damage" "$native/render_forms" \
         "$wasm/symdeck.wasm" "$wasm/symdeck-wasm" "$wasm/symdeck-core.wasm" "$wasm/symdeck-core.mjs"; do
  [ -e "$f" ] || { echo "compare-wasm: $f is missing (make all wasm)" >&2; exit 1; }
done
command -v node >/dev/null || { echo "compare-wasm: node is missing" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/symdeck-compare-wasm.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Argument lists after the database's name; REPORT stands for the report's name. A new form
# of the command line is one more line here.
argument_sets=(
  ""
  "REPORT"
  "-o REPORT"
  "-o -"
  "REPORT --json"
  "--json -o -"
  "REPORT --json-lines"
  "--json-lines -o -"
  "REPORT +nm32"
  "REPORT -symd -sttb"
  "-o - +nmtp +tytb"
  "REPORT --check"
  "--check -o -"
  "--explain=0x0 --explain=0x40 --explain=0x57D --explain=0x100000"
  "--explain=0x244 --json"
  "--explain=0x40 -o REPORT"
  "-o"
  "--explain=zz"
  "--version"
)

mkdir -p "$work/damage" "$work/core"
"$native/make_damage" "$work/damage"
databases=("$native/sample.nms" "$root"/fuzz/corpus/* "$root"/fuzz/regressions/*)
mapfile -t damaged < <(awk 'NR % 123 == 1 { print $2 }' "$work/damage/list.txt" | head -n 50)
for name in "${damaged[@]}"; do databases+=("$work/damage/$name"); done

compared=0
failed=0
# Runs one side (native or wasm) in a directory of its own holding only db.nms; leaves its
# standard output, standard error and status beside that directory.
run_side() {
  local side=$1
  shift
  local args=()
  for a in "$@"; do [ "$a" = REPORT ] && args+=("report.txt") || args+=("$a"); done
  rm -rf "$work/$side" && mkdir "$work/$side" && cp "$work/db.nms" "$work/$side/db.nms"
  local program=("$native/symdeck")
  [ "$side" = wasm ] && program=("$wasm/symdeck-wasm")
  set +e
  (cd "$work/$side" && "${program[@]}" db.nms "${args[@]}" > "../$side.out" 2> "../$side.err" < /dev/null)
  echo $? > "$work/$side.status"
  set -e
}

for db in "${databases[@]}"; do
  cp "$db" "$work/db.nms"
  for set in "${argument_sets[@]}"; do
    # shellcheck disable=SC2086 # the sets are split into words on purpose
    run_side native $set
    # shellcheck disable=SC2086
    run_side wasm $set
    what=()
    for part in out err status; do cmp -s "$work/native.$part" "$work/wasm.$part" || what+=("$part"); done
    diff -r "$work/native" "$work/wasm" >/dev/null || what+=("files")
    if [ ${#what[@]} -ne 0 ]; then
      echo "DIFFERENT: $(basename "$db") [$set]: ${what[*]}" >&2
      failed=$((failed + 1))
    fi
    compared=$((compared + 1))
  done
done
echo "$((compared - failed)) passed, $failed failed: native and symdeck-wasm runs compared on ${#databases[@]} databases"

# The core: one node process over the databases above and every damage sweep input.
cp "$work/damage/"*.nms "$work/damage/list.txt" "$work/core/"
i=0
for db in "$native/sample.nms" "$root"/fuzz/corpus/* "$root"/fuzz/regressions/*; do
  i=$((i + 1))
  cp "$db" "$work/core/input-$i.nms"
  echo "0 input-$i.nms" >> "$work/core/list.txt"
done
"$native/render_forms" "$work/core" > "$work/native.frames"
node "$root/tests/wasm/core_driver.mjs" "$wasm" "$work/core" > "$work/wasm.frames"
inputs=$(wc -l < "$work/core/list.txt")
if cmp "$work/native.frames" "$work/wasm.frames"; then
  echo "symdeck-core.wasm: every form of $inputs databases the same as the native core's ($(wc -c < "$work/native.frames") bytes)"
else
  offset=$(cmp "$work/native.frames" "$work/wasm.frames" | awk '{ print $5 }' | tr -d ,)
  echo "DIFFERENT: symdeck-core.wasm, in the frame before byte $offset:" >&2
  head -c "$offset" "$work/native.frames" | grep -a '^== ' | tail -n 1 >&2
  failed=$((failed + 1))
fi
[ "$failed" -eq 0 ]
