// The viewer's worker: runs symdeck-core.wasm, so that a huge or hostile database never
// holds up the page. It walks the database once in the view form and hands the page its
// tables; later it answers explain questions and cuts blocks out of the text report.
//
// The build step puts the module's JavaScript glue (symdeck-core.mjs, without its
// `export`s) ahead of this file.
//
// Messages in:  {type:'init', wasm}               the module's bytes
//               {type:'open', database, leftOut}   a database (an ArrayBuffer, kept here)
//               {type:'walk', leftOut}             the same database walked again
//               {type:'explain', id, offset, leftOut}
//               {type:'text', id, start, end, leftOut}   bytes [start, end) of the report
// Messages out: {type:'ready'} | {type:'view', tables..., ms} | {type:'explain', id, text}
//               {type:'text', id, text} | {type:'failed', message}
'use strict';

let core = null;
// The database lives in the module's memory from its opening on: every walk reads it there,
// with no copy in JavaScript and none per walk.
let database = { at: 0, size: 0 };

function keep(bytes) {
  const x = core.exports;
  if (database.at) x.symdeck_free(database.at);
  const at = x.symdeck_alloc(bytes.length) >>> 0;  // addresses past 2 GiB come back negative
  if (at === 0) throw new Error('no memory for the database in the module');
  new Uint8Array(x.memory.buffer, at, bytes.length).set(bytes);
  database = { at, size: bytes.length };
}

// One walk of the kept database in `form`, its output block by block to `onBlock`.
function render(form, leftOut, offsets, onBlock) {
  const x = core.exports;
  const offsetsAt = offsets.length ? x.symdeck_alloc(offsets.length * 8) >>> 0 : 0;
  if (offsets.length && offsetsAt === 0) throw new Error('no memory for the offsets in the module');
  const view = new DataView(x.memory.buffer);
  offsets.forEach((offset, i) => view.setBigUint64(offsetsAt + 8 * i, BigInt(offset), true));
  core.setBlockHandler(onBlock);
  try {
    return x.symdeck_render(database.at, database.size, FORMS[form], leftOut, 0, 0, offsetsAt, offsets.length, 0);
  } finally {
    core.setBlockHandler(null);
    if (offsetsAt) x.symdeck_free(offsetsAt);
  }
}

// The frame tags of the view form (src/report/view_printer.h).
const TAG = { header: 1, fields: 2, text: 3, blocks: 4, lists: 5, reads: 6, words: 8, kinds: 9, end: 10 };

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

function walk(leftOut) {
  const started = performance.now();
  const tables = {};
  const read = frameReader(tables);
  const end = render('view', leftOut, [], (block) => { read(block); });
  const walkedAt = performance.now();
  if (end < 0) throw new Error(`the walk failed: ${ENDS[end] || end}`);
  const take = (tag) => (tables[tag] ? tables[tag].take() : new ArrayBuffer(0));
  const frames = (tag) => (tables[tag] ? tables[tag].buffers() : []);
  // The large tables as their frames, the others joined.
  const message = {
    type: 'view', leftOut, header: take(TAG.header), fields: frames(TAG.fields), text: frames(TAG.text),
    blocks: frames(TAG.blocks), lists: take(TAG.lists), reads: take(TAG.reads), words: take(TAG.words),
    kinds: take(TAG.kinds), end: take(TAG.end), memory: core.memoryBytes(),
  };
  message.ms = performance.now() - started;
  message.steps = { walk: walkedAt - started, join: performance.now() - walkedAt };
  postMessage(message, [message.header, ...message.fields, ...message.text, ...message.blocks, message.lists,
                        message.reads, message.words, message.kinds, message.end]);
}

const decoder = new TextDecoder('utf-8');

function explain(offset, leftOut) {
  const parts = [];
  render('explain', leftOut, [offset], (block) => { parts.push(block.slice()); });
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

onmessage = async (event) => {
  const m = event.data;
  try {
    switch (m.type) {
      case 'init':
        core = await loadSymdeckCore(m.wasm);
        postMessage({ type: 'ready' });
        break;
      case 'open':
        keep(new Uint8Array(m.database));
        walk(m.leftOut);
        break;
      case 'walk': walk(m.leftOut); break;
      case 'explain': postMessage({ type: 'explain', id: m.id, offset: m.offset, text: explain(m.offset, m.leftOut) }); break;
      case 'text': postMessage({ type: 'text', id: m.id, text: reportText(m.start, m.end, m.leftOut) }); break;
      default: break;
    }
  } catch (error) {
    postMessage({ type: 'failed', message: String(error && error.message || error) });
  }
};
