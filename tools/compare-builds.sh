#!/usr/bin/env bash
# Runs two builds of the program on the same databases with the same arguments and compares
# their standard output and exit status byte for byte: the text report, the JSON document,
# and explain's answers (text and JSON) for a handful of offsets, each under the flag sets
# "", "-symd -sttb", "+nmtp +tytb" and "+nm32".
#   tools/compare-builds.sh OLD NEW [BUILD] [CORRUPTIONS]
# OLD and NEW: a symdeck program or a build directory that holds one. BUILD (default
# build) provides sample.nms and make_large. The databases: the sample, every file of
# fuzz/corpus and fuzz/regressions (their first byte, the fuzzer's selection bits, dropped),
# CORRUPTIONS (default 1500) corruptions of the sample made from a fixed seed, and generated
# databases of 4 and 64 MiB.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

program() {
  if [ -d "$1" ]; then echo "$(cd "$1" && pwd)/symdeck"; else echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; fi
}
[ $# -ge 2 ] || { echo "usage: tools/compare-builds.sh OLD NEW [BUILD] [CORRUPTIONS]" >&2; exit 2; }
old=$(program "$1")
new=$(program "$2")
build="$root/${3:-build}"
corruptions=${4:-1500}
for f in "$old" "$new" "$build/sample.nms" "$build/make_large"; do
  [ -x "$f" ] || [ -f "$f" ] || { echo "compare-builds: $f is missing" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/symdeck-compare-builds.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/db"

# The databases.
cp "$build/sample.nms" "$work/db/sample.nms"
for f in "$root"/fuzz/corpus/* "$root"/fuzz/regressions/*; do
  [ -f "$f" ] && [ -s "$f" ] || continue
  tail -c +2 "$f" > "$work/db/$(basename "$(dirname "$f")")-$(basename "$f").nms"
done
# Corruptions as the damage sweeps make them: one to four edits, each a random byte, a
# ULONG set to a value that steers the walk somewhere odd, or the file cut short.
python3 - "$build/sample.nms" "$work/db" "$corruptions" <<'EOF'
import random, struct, sys
sample = open(sys.argv[1], 'rb').read()
out, count = sys.argv[2], int(sys.argv[3])
rng = random.Random(20261209)
interesting = [0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFF0, len(sample), len(sample) - 1, 0x1000, 0x244]
for n in range(count):
    data = bytearray(sample)
    for _ in range(rng.randint(1, 4)):
        at = rng.randrange(len(data))
        kind = rng.randrange(3)
        if kind == 0:
            data[at] = rng.randrange(256)
        elif kind == 1:
            value = struct.pack('<I', rng.choice(interesting))
            for k in range(4):
                if at + k < len(data):
                    data[at + k] = value[k]
        else:
            del data[at + 1:]
    open(f'{out}/corrupt-{n:04d}.nms', 'wb').write(data)
EOF
"$build/make_large" "$work/db/large-4.nms" 4
"$build/make_large" "$work/db/large-64.nms" 64

flag_sets=("" "-symd -sttb" "+nmtp +tytb" "+nm32")
compared=0
failed=0
# One side's output and status: the program, then its arguments.
side() {
  local status=0
  "$@" 2>&1 || status=$?
  echo "exit status $status"
}
compare() {
  compared=$((compared + 1))
  if ! cmp -s <(side "$old" "$@") <(side "$new" "$@"); then
    failed=$((failed + 1))
    echo "DIFFERENT: $*"
  fi
}

databases=("$work"/db/*.nms)
for db in "${databases[@]}"; do
  size=$(stat -c %s "$db")
  offsets=(0 0x40 0x244 $((size / 3)) $((size / 2)) $((size > 0 ? size - 1 : 0)) "$size")
  explain=()
  for o in "${offsets[@]}"; do explain+=("--explain=$o"); done
  for flags in "${flag_sets[@]}"; do
    # shellcheck disable=SC2086
    compare "$db" -o - $flags
    # shellcheck disable=SC2086
    compare "$db" -o - --json $flags
    # shellcheck disable=SC2086
    compare "$db" "${explain[@]}" $flags
    # shellcheck disable=SC2086
    compare "$db" "${explain[@]}" --json $flags
  done
done
echo "compare-builds: ${#databases[@]} databases, $compared runs compared, $failed different"
[ "$failed" -eq 0 ]
