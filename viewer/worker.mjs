// The viewer's worker: runs symdeck-core.wasm, so that a huge or hostile database never
// holds up the page. It walks the database once in the view form and hands the page its
// tables; later it answers explain questions and cuts blocks out of the text report.
//
// The build step puts the module's JavaScript glue (symdeck-core.mjs, without its
// `export`s) ahead of this file, and this file's imports into it (tools/build-viewer.mjs).
//
// A large database's first walk keeps the tree whole but only the fields of a window (the
// bytes and blocks on screen); the page asks for the fields of another window as it moves,
// and a search walks for its matches alone. So the page's memory follows what it shows.
// After the first walk the worker keeps the database's map in the module: a window of fields
// and the holders of a byte then walk only the parts of the database that hold them.
//
// Every message but init carries an id, and its answer (or failure) the same id.
// Messages in:  {type:'init', wasm}               the module's bytes
//               {type:'open', id, database, leftOut, window}   a database (an ArrayBuffer,
//                                                  kept here); window: which fields (null: all)
//               {type:'walk', id, leftOut, window}     the same database walked again
//               {type:'fields', id, leftOut, window}   the fields of another window
//               {type:'search', id, leftOut, query, most, countText}
//               {type:'explain', id, offset, leftOut}
//               {type:'text', id, start, end, leftOut}   bytes [start, end) of the report
//   window: {bytes, fields, countText}: fields that touch the byte spans [from, to) of
//   `bytes`, the fields whose number in the walk is in a span of `fields`; countText false when the first walk did
//   not stop at the report's size limit (a walk again is then faster).
// Messages out: {type:'ready'} | {type:'view', id, tables..., ms} | {type:'explain', id, text}
//               {type:'fields', id, window, fields, text, bytes} | {type:'found', id, fields, text}
//   bytes: the database's bytes in each byte span of the window (the page of a large
//   database holds no others).
//               {type:'text', id, text} | {type:'failed', id, message}
import { CHOICE, TAG } from './model/layout.mjs';

let core = null;
// The database lives in the module's memory from its opening on: every walk reads it there,
// with no copy in JavaScript and none per walk.
let database = { at: 0, size: 0 };
// The map of the kept database with one selection, kept in the module: the windows of fields
// and the holders of a byte walk only the parts of the database that hold them.
let map = { handle: 0, leftOut: -1 };

function forgetMap() {
  if (map.handle) core.exports.symdeck_map_free(map.handle);
  map = { handle: 0, leftOut: -1 };
}

// The kept map for `leftOut`, made by one walk when there is none.
function mapFor(leftOut) {
  if (map.handle && map.leftOut === leftOut) return map.handle;
  forgetMap();
  const handle = core.exports.symdeck_map_make(database.at, database.size, leftOut) >>> 0;
  if (handle) map = { handle, leftOut };
  return handle;
}

function keep(bytes) {
  const x = core.exports;
  forgetMap();
  if (database.at) x.symdeck_free(database.at);
  const at = x.symdeck_alloc(bytes.length) >>> 0;  // addresses past 2 GiB come back negative
  if (at === 0) throw new Error('no memory for the database in the module');
  new Uint8Array(x.memory.buffer, at, bytes.length).set(bytes);
  database = { at, size: bytes.length };
}

// One walk of the kept database in `form`, its output block by block to `onBlock`; on the
// kept map when `mapped` (the same output, faster for explain and windows of fields).
function render(form, leftOut, offsets, onBlock, name = '', mapped = false) {
  const x = core.exports;
  const nameBytes = new TextEncoder().encode(name);
  const nameAt = nameBytes.length ? x.symdeck_alloc(nameBytes.length) >>> 0 : 0;
  if (nameBytes.length && nameAt === 0) throw new Error('no memory for the search in the module');
  if (nameAt) new Uint8Array(x.memory.buffer, nameAt, nameBytes.length).set(nameBytes);
  const offsetsAt = offsets.length ? x.symdeck_alloc(offsets.length * 8) >>> 0 : 0;
  if (offsets.length && offsetsAt === 0) throw new Error('no memory for the offsets in the module');
  const view = new DataView(x.memory.buffer);
  offsets.forEach((offset, i) => view.setBigUint64(offsetsAt + 8 * i, BigInt(offset), true));
  core.setBlockHandler(onBlock);
  try {
    const asked = [database.at, database.size, FORMS[form], leftOut, nameAt, nameBytes.length, offsetsAt,
                   offsets.length, 0];
    const handle = mapped ? mapFor(leftOut) : 0;
    return handle ? x.symdeck_render_mapped(handle, ...asked) : x.symdeck_render(...asked);
  } finally {
    core.setBlockHandler(null);
    if (offsetsAt) x.symdeck_free(offsetsAt);
    if (nameAt) x.symdeck_free(nameAt);
  }
}

// The frames of a table as they come, each copied once into a buffer of its own size.
class Frames {
  constructor() { this.parts = []; this.length = 0; }
  begin(size) {
    this.current = new Uint8Array(size);
    this.filled = 0;
    this.parts.push(this.current);
    this.length += size;
  }
  push(part) {
    this.current.set(part, this.filled);
    this.filled += part.length;
  }
  // The frames, as they are: a page reads large tables frame by frame.
  buffers() { return this.parts.map((p) => p.buffer); }
  // The frames joined (the small tables).
  take() {
    const whole = new Uint8Array(this.length);
    let at = 0;
    for (const p of this.parts) { whole.set(p, at); at += p.length; }
    return whole.buffer;
  }
}

// Splits the view form's stream into its tables' frames, whatever the blocks' borders: a
// frame's head or payload may run on from one block into the next.
function frameReader(tables) {
  const head = new Uint8Array(8);
  const headView = new DataView(head.buffer);
  let headUsed = 0;
  let table = null;
  let left = 0;  // payload bytes still to come
  let pad = 0;   // zero bytes after it
  return (block) => {
    let at = 0;
    while (at < block.length) {
      if (left === 0 && pad > 0) {
        const n = Math.min(pad, block.length - at);
        pad -= n;
        at += n;
        continue;
      }
      if (left === 0) {
        const n = Math.min(8 - headUsed, block.length - at);
        head.set(block.subarray(at, at + n), headUsed);
        headUsed += n;
        at += n;
        if (headUsed < 8) break;
        headUsed = 0;
        const tag = headView.getUint32(0, true);
        left = headView.getUint32(4, true);
        pad = (4 - (left % 4)) % 4;
        table = tables[tag] || (tables[tag] = new Frames());
        table.begin(left);
        continue;
      }
      const n = Math.min(left, block.length - at);
      table.push(block.subarray(at, at + n));
      left -= n;
      at += n;
    }
  };
}

// The view form's choice of fields, as symdeck_render reads it from its offsets.
function choice(window, { tree = true, query = '', most = 0 } = {}) {
  if (!window && !query) return [];
  const w = window || { bytes: [], fields: [], countText: true };
  return [(tree ? 0 : CHOICE.noTree) | (w.countText ? 0 : CHOICE.noCount), query ? most : 0, w.bytes.length, ...w.bytes.flat(),
          ...w.fields.flat()];
}

function walk(id, leftOut, window) {
  const started = performance.now();
  const tables = {};
  const read = frameReader(tables);
  const end = render('view', leftOut, choice(window), (block) => { read(block); });
  const walkedAt = performance.now();
  if (end < 0) throw new Error(`the walk failed: ${ENDS[end] || end}`);
  const take = (tag) => (tables[tag] ? tables[tag].take() : new ArrayBuffer(0));
  const frames = (tag) => (tables[tag] ? tables[tag].buffers() : []);
  // The large tables as their frames, the others joined.
  const message = {
    type: 'view', id, leftOut, header: take(TAG.header), fields: frames(TAG.fields), text: frames(TAG.text),
    blocks: frames(TAG.blocks), lists: take(TAG.lists), reads: take(TAG.reads), words: take(TAG.words),
    kinds: take(TAG.kinds), end: take(TAG.end), memory: core.memoryBytes(), window, bytes: spanBytes(window),
  };
  message.ms = performance.now() - started;
  message.steps = { walk: walkedAt - started, join: performance.now() - walkedAt };
  postMessage(message, [message.header, ...message.fields, ...message.text, ...message.blocks, message.lists,
                        message.reads, message.words, message.kinds, message.end, ...message.bytes]);
  // The map now, while the page draws: the first window or holders asked for need it.
  mapFor(leftOut);
}

// The database's bytes in the byte spans of `window`, each a buffer of its own: a page that
// holds a window of fields holds only these bytes of the database.
function spanBytes(window) {
  if (!window) return [];
  const memory = new Uint8Array(core.exports.memory.buffer, database.at, database.size);
  return window.bytes.map(([from, to]) => memory.slice(from, to).buffer);
}

// Only some fields, and no tree: the fields of a window, or the matches of a search.
function someFields(leftOut, window, options, reply) {
  const tables = {};
  const read = frameReader(tables);
  const end = render('view', leftOut, choice(window, options), (block) => { read(block); }, options.query, true);
  if (end < 0) throw new Error(`the walk failed: ${ENDS[end] || end}`);
  const frames = (tag) => (tables[tag] ? tables[tag].buffers() : []);
  const bytes = options.query ? [] : spanBytes(window);
  const message = { ...reply, fields: frames(TAG.fields), text: frames(TAG.text), bytes };
  postMessage(message, [...message.fields, ...message.text, ...bytes]);
}

const decoder = new TextDecoder('utf-8');

function explain(offset, leftOut) {
  const parts = [];
  render('explain', leftOut, [offset], (block) => { parts.push(block.slice()); }, '', true);
  return parts.map((p) => decoder.decode(p, { stream: true })).join('') + decoder.decode();
}

// The bytes [start, end) of the text report: the walk renders it all, and only these are kept.
function reportText(start, end, leftOut) {
  const kept = new Frames();
  let at = 0;
  render('text', leftOut, [], (block) => {
    const from = Math.max(start - at, 0);
    const to = Math.min(end - at, block.length);
    if (from < to) {
      kept.begin(to - from);
      kept.push(block.subarray(from, to));
    }
    at += block.length;
    return at < end;  // enough: the host stops the walk
  });
  return new TextDecoder('utf-8').decode(new Uint8Array(kept.take()));
}

// Messages wait in a queue and are taken a task later, so that those which came during a
// long walk are all here: of the fields, explain and search requests only the newest of each
// counts (the page drops answers to older ones), and fields go first, as the page waits for
// them to draw. Opening, walking again and cutting text run in the order they came.
const queue = [];
let pumping = false;
const LATEST_ONLY = new Set(['fields', 'explain', 'search']);

function next() {
  const barrier = queue.findIndex((m) => !LATEST_ONLY.has(m.type) && m.type !== 'text');
  const before = barrier < 0 ? queue.length : barrier;
  if (before === 0) return queue.shift();
  // Before the next barrier: text requests in order, then the newest fields, explain, search.
  const text = queue.findIndex((m, i) => i < before && m.type === 'text');
  if (text >= 0) return queue.splice(text, 1)[0];
  for (const type of ['fields', 'explain', 'search']) {
    let newest = -1;
    for (let i = 0; i < before; ++i) if (queue[i].type === type) newest = i;
    if (newest < 0) continue;
    const m = queue[newest];
    for (let i = before - 1; i >= 0; --i) if (queue[i].type === type) queue.splice(i, 1);
    return m;
  }
  return queue.shift();
}

async function handle(m) {
  try {
    switch (m.type) {
      case 'init':
        core = await loadSymdeckCore(m.wasm);
        postMessage({ type: 'ready' });
        break;
      case 'open':
        keep(new Uint8Array(m.database));
        walk(m.id, m.leftOut, m.window);
        break;
      case 'walk': walk(m.id, m.leftOut, m.window); break;
      case 'fields': someFields(m.leftOut, m.window, { tree: false }, { type: 'fields', id: m.id, window: m.window }); break;
      case 'search':
        someFields(m.leftOut, { bytes: [], fields: [], countText: m.countText },
                   { tree: false, query: m.query, most: m.most }, { type: 'found', id: m.id, query: m.query });
        break;
      case 'explain': postMessage({ type: 'explain', id: m.id, offset: m.offset, text: explain(m.offset, m.leftOut) }); break;
      case 'text': postMessage({ type: 'text', id: m.id, text: reportText(m.start, m.end, m.leftOut) }); break;
      default: break;
    }
  } catch (error) {
    postMessage({ type: 'failed', id: m.id, message: String(error && error.message || error) });
  }
}

async function pump() {
  while (queue.length) {
    await handle(next());
    // A task's pause: the messages that came meanwhile join the queue before the next pick.
    await new Promise((done) => setTimeout(done, 0));
  }
  pumping = false;
}

onmessage = (event) => {
  queue.push(event.data);
  if (!pumping) {
    pumping = true;
    setTimeout(pump, 0);
  }
};
