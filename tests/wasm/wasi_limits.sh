#!/usr/bin/env bash
# What WASI preview 1 cannot do, and what symdeck.wasm does instead (src/frontend/platform_wasi.cpp):
#   tests/wasm/wasi_limits.sh NATIVE_BUILD WASM_BUILD WORK_DIRECTORY
# - A report that replaces a file cannot take that file's mode: the native program keeps
#   0600, the WebAssembly one leaves the mode node gives a new file (0666 less the umask),
#   and the report is whole and no temporary is left, as natively.
# - Linear memory is 32-bit: a database of 4 GiB or more is a failure to allocate memory
#   (the native message and status), at once, with nothing written.
# - Memory the C++ library cannot have is a trap: with node's cap on linear memory
#   (--wasm-max-mem-pages) stepped up through the range where explaining 3000 offsets into
#   a report file runs out, every run either gives the native answers or stops with the
#   launcher's message and status 70, leaving no temporary behind; the core's host gets a
#   WebAssembly.RuntimeError ("unreachable") or the native answers.
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

# The trap. The answers of 3000 offsets take some MiB of the C++ library's memory; each cap
# below is 64 KiB pages.
offsets=()
for i in $(seq 0 2999); do offsets+=("--explain=$((i * 7 % 2200))"); done
"$native" db.nms "${offsets[@]}" -o expected-answers.txt
traps=0
answered=0
for pages in $(seq 120 4 260); do
  set +e
  timeout 60 node --no-warnings --wasm-max-mem-pages="$pages" "$wasm" db.nms "${offsets[@]}" -o answers.txt > out.txt 2> err.txt
  status=$?
  set -e
  case $status in
    0) cmp -s expected-answers.txt answers.txt || { echo "FAILED: $pages pages: the answers differ" >&2; failures=$((failures + 1)); }
       answered=$((answered + 1))
       rm answers.txt ;;
    70) grep -q '^symdeck: the WebAssembly program stopped: ' err.txt ||
          { echo "FAILED: $pages pages: no message of the stop" >&2; failures=$((failures + 1)); }
        grep -q 'unreachable$' err.txt && traps=$((traps + 1)) ;;
    *) echo "FAILED: $pages pages: status $status" >&2; cat err.txt >&2; failures=$((failures + 1)) ;;
  esac
  expect "files left after a run at $pages pages" "db.nms err.txt expected-answers.txt expected.txt native.txt out.txt wasm.txt" \
    "$(ls -A | tr '\n' ' ' | sed 's/ $//')"
done
[ "$traps" -gt 0 ] || { echo "FAILED: no run of the program stopped at a trap" >&2; failures=$((failures + 1)); }
[ "$answered" -gt 0 ] || { echo "FAILED: no run of the program answered" >&2; failures=$((failures + 1)); }

# The core under the same caps, from a host: a trap or the native answers.
native_answers=$(sha256sum < expected-answers.txt)
core_traps=0
core_answered=0
for pages in $(seq 60 4 260); do
  result=$(timeout 60 node --no-warnings --wasm-max-mem-pages="$pages" --input-type=module -e "
    import { readFileSync } from 'node:fs';
    import { createHash } from 'node:crypto';
    const { loadSymdeckCore } = await import('$2/symdeck-core.mjs');
    let core;
    try { core = await loadSymdeckCore(readFileSync('$2/symdeck-core.wasm')); }
    catch (error) { console.log('no instance'); process.exit(0); }
    const offsets = Array.from({ length: 3000 }, (_, i) => i * 7 % 2200);
    const hash = createHash('sha256');
    try {
      const end = core.render(readFileSync('db.nms'), { form: 'explain', offsets }, (block) => { hash.update(block); });
      console.log(end === 0 ? 'answers ' + hash.digest('hex') : 'end ' + end);
    } catch (error) {
      console.log(error instanceof WebAssembly.RuntimeError ? 'trap ' + error.message : 'error ' + error.message);
    }" 2>&1)
  case $result in
    "answers "*) expect "the core's answers at $pages pages" "${native_answers%% *}" "${result#answers }"
                 core_answered=$((core_answered + 1)) ;;
    "trap unreachable") core_traps=$((core_traps + 1)) ;;
    "no instance"|"end -1") ;;  # the cap is below the module's start, or no room for the input
    *) echo "FAILED: the core at $pages pages: $result" >&2; failures=$((failures + 1)) ;;
  esac
done
[ "$core_traps" -gt 0 ] || { echo "FAILED: no render of the core stopped at a trap" >&2; failures=$((failures + 1)); }
[ "$core_answered" -gt 0 ] || { echo "FAILED: no render of the core answered" >&2; failures=$((failures + 1)); }
echo "the trap: program $traps stopped and $answered answered; core $core_traps trapped and $core_answered answered"

[ "$failures" -eq 0 ] && echo "passed"
