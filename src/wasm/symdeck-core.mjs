// JavaScript glue for symdeck-core.wasm (its C interface: include/symdeck.h), for
// node or a browser page. No file system: bytes in, output out block by block.
//
//   const core = await loadSymdeckCore(wasmBytes);
//   const end = core.render(databaseBytes, { form: 'text', leftOut: 0, name: 'app.nms',
//                                            offsets: [] }, (block) => { ... });
// `block` is a Uint8Array view of the module's memory, valid during the call only.
// The forms: 'text', 'json', 'json-lines', 'explain', 'explain-json', 'view' (interface 2),
// 'map' (interface 4).
//   const map = core.makeMap(databaseBytes, leftOut);   (interface 5)
//   core.render(databaseBytes, { form: 'explain', offsets: [0x40], map }, ...);  map.free();
// A kept map: the same output, with only the parts of the database that are asked for walked.
export const FORMS = { text: 0, json: 1, 'json-lines': 2, explain: 3, 'explain-json': 4, view: 5, map: 6, table: 7, 'table-lines': 8 };
export const ENDS = { 0: 'complete', 1: 'bounds', 2: 'signature', 3: 'limit', [-1]: 'no memory',
                      [-2]: 'bad form', [-3]: 'stopped by host' };
const API_VERSION = 7;

export async function loadSymdeckCore(wasmBytes) {
  let memory;
  let onBlock = null;
  const host = {
    write(context, data, size) {
      return onBlock(new Uint8Array(memory.buffer, data >>> 0, size >>> 0)) === false ? 0 : 1;
    },
  };
  // The C library's calls to the system: the core makes none while it renders, so each
  // answers "not supported" (WASI's ENOSYS); an exit becomes an exception.
  const module = await WebAssembly.compile(wasmBytes);
  const wasi = {};
  for (const entry of WebAssembly.Module.imports(module)) {
    if (entry.module !== 'wasi_snapshot_preview1') continue;
    wasi[entry.name] = entry.name === 'proc_exit'
      ? (code) => { throw new Error(`symdeck-core exited with ${code}`); }
      : () => 52;
  }
  const instance = await WebAssembly.instantiate(module, { symdeck_host: host, wasi_snapshot_preview1: wasi });
  const x = instance.exports;
  memory = x.memory;
  x._initialize();
  if (x.symdeck_api_version() !== API_VERSION)
    throw new Error(`symdeck-core.wasm has interface version ${x.symdeck_api_version()}, not ${API_VERSION}`);

  const copyIn = (bytes) => {
    // Addresses past 2 GiB come back from the module as negative numbers.
    const at = x.symdeck_alloc(bytes.length) >>> 0;
    if (at === 0) throw new Error('symdeck-core: no memory for the input');
    new Uint8Array(memory.buffer, at, bytes.length).set(bytes);
    return at;
  };

  return {
    version: API_VERSION,
    // The module's linear memory now (it grows, never shrinks).
    memoryBytes: () => memory.buffer.byteLength,
    // The C interface itself, and the function that takes its blocks, for hosts (and
    // tests) that call symdeck_render directly.
    exports: x,
    setBlockHandler: (handler) => { onBlock = handler; },
    // Returns the walk's end (0 complete, 1 bounds, 2 signature, 3 limit) or a negative
    // failure (ENDS names them).
    // The map of `database` with `leftOut`, kept in the module until its free().
    makeMap(database, leftOut = 0) {
      const data = copyIn(database);
      try {
        const handle = x.symdeck_map_make(data, database.length, leftOut) >>> 0;
        if (handle === 0) throw new Error('symdeck-core: no memory for the map');
        return { handle, free: () => x.symdeck_map_free(handle) };
      } finally {
        x.symdeck_free(data);
      }
    },
    render(database, { form = 'text', leftOut = 0, name = '', offsets = [], map = null } = {}, block) {
      if (!(form in FORMS)) throw new Error(`symdeck-core: no form ${form}`);
      const nameBytes = new TextEncoder().encode(name);
      const data = copyIn(database);
      const nameAt = copyIn(nameBytes);
      const offsetBytes = new Uint8Array(offsets.length * 8);
      const view = new DataView(offsetBytes.buffer);
      offsets.forEach((offset, i) => view.setBigUint64(i * 8, BigInt(offset), true));
      const offsetsAt = copyIn(offsetBytes);
      onBlock = block;
      try {
        const asked = [data, database.length, FORMS[form], leftOut, nameAt, nameBytes.length, offsetsAt,
                       offsets.length, 0];
        return map ? x.symdeck_render_mapped(map.handle, ...asked) : x.symdeck_render(...asked);
      } finally {
        onBlock = null;
        x.symdeck_free(offsetsAt);
        x.symdeck_free(nameAt);
        x.symdeck_free(data);
      }
    },
  };
}
