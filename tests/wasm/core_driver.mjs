// Drives symdeck-core.wasm through its C interface (symdeck-core.mjs) over every database
// of a list, in this one node process, and writes each form's output framed as
// tools/render_forms does for the native build, so that the two streams compare byte for
// byte:   node core_driver.mjs BUILD_WASM DIRECTORY   (DIRECTORY/list.txt: "LEFT_OUT NAME")
import { readFileSync, writeSync } from 'node:fs';
import { join } from 'node:path';

const [buildWasm, directory] = process.argv.slice(2);
const { loadSymdeckCore } = await import(join(buildWasm, 'symdeck-core.mjs'));
const core = await loadSymdeckCore(readFileSync(join(buildWasm, 'symdeck-core.wasm')));

const explained = [0, 0x40, 0x244, 0x100000];
const out = (bytes) => {
  for (let done = 0; done < bytes.length;) done += writeSync(1, bytes, done, bytes.length - done);
};
for (const line of readFileSync(join(directory, 'list.txt'), 'latin1').split('\n')) {
  if (line === '') continue;
  const [leftOut, name] = line.split(' ');
  const database = readFileSync(join(directory, name));
  const offsets = [...explained, database.length, Math.floor(database.length / 2)];
  // view-some: the view form's choice of fields, as render_forms makes it (no tree; the
  // text not counted; the bytes from a third of the file to past its half; fields 2 to 8
  // and 40).
  const some = [3, 0, 1, Math.floor(database.length / 3), Math.floor(database.length / 2) + 1, 2, 9, 40, 41];
  // The choice of fields and explain go through a kept map: their output must be the
  // native walk's, which has none.
  const map = core.makeMap(database, Number(leftOut));
  for (const form of ['text', 'json', 'json-lines', 'view', 'view-some', 'map', 'explain', 'explain-json']) {
    const blocks = [];
    const asked = form === 'view-some' ? { form: 'view', offsets: some, map }
                : { form, offsets: form.startsWith('explain') ? offsets : [], map: form.startsWith('explain') ? map : null };
    const end = core.render(database, { ...asked, leftOut: Number(leftOut), name },
                            (block) => { blocks.push(Buffer.from(block)); });
    if (end < 0) throw new Error(`${name} ${form}: symdeck_render returned ${end}`);
    const text = Buffer.concat(blocks);
    out(Buffer.from(`== ${name} ${form} ${end} ${text.length}\n`, 'latin1'));
    out(text);
  }
  map.free();
}
