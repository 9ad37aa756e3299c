#!/usr/bin/env bash
# What WASI preview 1 cannot do, and what symdeck.wasm does instead (src/app/platform_wasi.cpp):
#   tests/wasm/wasi_limits.sh NATIVE_BUILD WASM_BUILD WORK_DIRECTORY
# - A report that replaces a file cannot take that file's mode: the native program keeps
#   0600, the WebAssembly one leaves the mode node gives a new file (0666 less the umask),
#   and the report is whole and no temporary is left, as natively.
# - Linear memory is 32-bit: a database of 4 GiB or more is a failure to allocate memory
#   (the native message and status), at once, with nothing written.
set -euo pipefail
native=$1/symdeck
wasm=$2/symdeck-wasm
work=$3
for f in "$native" "$wasm" "$1/sample.nms"; do [ -e "$f" ] || { echo "missing: $f" >&2; exit 1; }; done
rm -rf "$work" && mkdir -p "$work" && cd "$work"
cp "$1/sample.nms" db.nms
failures=0
expect() {  # WHAT EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then echo "FAILED: $1: expected [$2], got [$3]" >&2; failures=$((failures + 1)); fi
}

umask 022
"$native" db.nms expected.txt
for side in native wasm; do
  echo old > "$side.txt"
  chmod 600 "$side.txt"
  if [ $side = native ]; then "$native" db.nms "$side.txt"; else "$wasm" db.nms "$side.txt"; fi
  cmp -s expected.txt "$side.txt" || { echo "FAILED: $side: the replaced report differs" >&2; failures=$((failures + 1)); }
done
expect "native keeps the replaced report's mode" 600 "$(stat -c %a native.txt)"
expect "wasm gives the replaced report a new file's mode" 644 "$(stat -c %a wasm.txt)"

# A sparse file just over 4 GiB: nothing of it is read.
truncate -s 4294967297 huge.nms
set +e
"$wasm" huge.nms huge.txt > out.txt 2> err.txt
status=$?
set -e
expect "status for a database over 4 GiB" 1 "$status"
# The native title lines, then the message.
{ "$native" /nonexistent | head -n -1 || true; echo "  Failed to allocate memory."; } > expected-out.txt
cmp -s expected-out.txt out.txt || { echo "FAILED: the message for a database over 4 GiB:" >&2; cat out.txt >&2; failures=$((failures + 1)); }
rm expected-out.txt
expect "standard error for a database over 4 GiB" "" "$(cat err.txt)"
rm -f huge.nms
expect "files left" "db.nms err.txt expected.txt native.txt out.txt wasm.txt" "$(ls -A | tr '\n' ' ' | sed 's/ $//')"
[ "$failures" -eq 0 ] && echo "passed"
