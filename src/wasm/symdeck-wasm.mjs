#!/usr/bin/env -S node --no-warnings
// Runs symdeck.wasm (beside this script) under node's WASI as the native symdeck runs: the
// same arguments, standard streams and exit status. "/" is preopened and the module starts
// in the caller's directory (SYMDECK_WASI_CWD, read by the WASI platform layer), so every
// relative or absolute name the native program takes names the same file.
// --no-warnings: node's WASI is marked experimental and would say so on standard error.
import { readFileSync, rmSync } from 'node:fs';
import { resolve } from 'node:path';
import { WASI } from 'node:wasi';

const here = new URL('.', import.meta.url);
const wasi = new WASI({
  version: 'preview1',
  args: ['symdeck', ...process.argv.slice(2)],
  env: { SYMDECK_WASI_CWD: process.cwd() },
  preopens: { '/': '/' },
  returnOnExit: true,
});
let instance;
let status;
try {
  const module = await WebAssembly.compile(readFileSync(new URL('symdeck.wasm', here)));
  instance = await WebAssembly.instantiate(module, wasi.getImportObject());
  status = wasi.start(instance);
} catch (error) {
  // A trap: memory the C++ library could not have (there are no exceptions to report it),
  // or a fault; or a module the host could not instantiate. No code of the module may run
  // after a trap, so the pending temporary's name is read from its memory: a NUL-terminated
  // name at the address the module exports, relative to the same working directory.
  if (instance) {
    const memory = new Uint8Array(instance.exports.memory.buffer);
    const at = instance.exports.symdeck_pending_temporary.value;
    const name = Buffer.from(memory.subarray(at, memory.indexOf(0, at))).toString();
    if (name !== '') rmSync(resolve(name), { force: true });
  }
  process.stderr.write(`symdeck: the WebAssembly program stopped: ${error.message}\n`);
  status = 70;
}
process.exitCode = status;
