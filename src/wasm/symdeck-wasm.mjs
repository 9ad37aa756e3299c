#!/usr/bin/env -S node --no-warnings
// Runs symdeck.wasm (beside this script) under node's WASI as the native symdeck runs: the
// same arguments, standard streams and exit status. "/" is preopened and the module starts
// in the caller's directory (SYMDECK_WASI_CWD, read by the WASI platform layer), so every
// relative or absolute name the native program takes names the same file.
// --no-warnings: node's WASI is marked experimental and would say so on standard error.
import { readFileSync } from 'node:fs';
import { WASI } from 'node:wasi';

const here = new URL('.', import.meta.url);
const wasi = new WASI({
  version: 'preview1',
  args: ['symdeck', ...process.argv.slice(2)],
  env: { SYMDECK_WASI_CWD: process.cwd() },
  preopens: { '/': '/' },
  returnOnExit: true,
});
const module = await WebAssembly.compile(readFileSync(new URL('symdeck.wasm', here)));
const instance = await WebAssembly.instantiate(module, wasi.getImportObject());
let status;
try {
  status = wasi.start(instance);
} catch (error) {
  // A trap: memory the C++ library could not have (there are no exceptions to report it),
  // or a fault. The instance's memory still holds the pending temporary's name.
  instance.exports.symdeck_remove_temporary();
  process.stderr.write(`symdeck: the WebAssembly program stopped: ${error.message}\n`);
  status = 70;
}
process.exitCode = status;
