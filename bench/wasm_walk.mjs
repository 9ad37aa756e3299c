// The walk inside symdeck-core.wasm, in memory, under node: the median of RUNS renders of
// each database into a host callback that drops the blocks (as bench_walk's sink does).
//   node bench/wasm_walk.mjs BUILD_WASM RUNS DATABASE...
import { readFileSync } from 'node:fs';
import { join } from 'node:path';

const [buildWasm, runs, ...databases] = process.argv.slice(2);
const { loadSymdeckCore } = await import(join(buildWasm, 'symdeck-core.mjs'));
const core = await loadSymdeckCore(readFileSync(join(buildWasm, 'symdeck-core.wasm')));
for (const path of databases) {
  const database = readFileSync(path);
  for (const form of ['text', 'json']) {
    const times = [];
    let bytes = 0;
    for (let i = 0; i < Number(runs); ++i) {
      bytes = 0;
      const start = process.hrtime.bigint();
      core.render(database, { form, name: path }, (block) => { bytes += block.length; });
      times.push(Number(process.hrtime.bigint() - start) / 1e6);
    }
    times.sort((a, b) => a - b);
    const median = times[Math.floor(times.length / 2)];
    console.log(`${path} ${form}: median ${median.toFixed(1)} ms of ${runs}, ` +
                `${(database.length / 1048576 / (median / 1000)).toFixed(0)} MiB/s in, ${bytes} bytes out`);
  }
}
console.log(`memory of the module after the runs: ${(core.memoryBytes?.() ?? 0) / 1048576} MiB`);
