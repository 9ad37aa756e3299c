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
let database = null;

// The frame tags of the view form (src/report/view_printer.h).
const TAG = { header: 1, fields: 2, text: 3, blocks: 4, lists: 5, reads: 6, words: 8, kinds: 9, end: 10 };

// A growing byte buffer: doubles, then is cut to its length once.
class Grow {
  constructor(size = 1 << 16) { this.bytes = new Uint8Array(size); this.length = 0; }
  push(part) {
    if (this.length + part.length > this.bytes.length) {
      let size = this.bytes.length * 2;
      while (size < this.length + part.length) size *= 2;
      const bigger = new Uint8Array(size);
      bigger.set(this.bytes.subarray(0, this.length));
      this.bytes = bigger;
    }
    this.bytes.set(part, this.length);
    this.length += part.length;
  }
  take() { return this.bytes.buffer.byteLength === this.length ? this.bytes.buffer : this.bytes.slice(0, this.length).buffer; }
}

// Splits the view form's stream into its tables, whatever the blocks' borders: a frame's
// head or payload may run on from one block into the next.
function frameReader(tables) {
  const head = new Uint8Array(8);
  let headUsed = 0;
  let tag = 0;
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
        const view = new DataView(head.buffer);
        tag = view.getUint32(0, true);
        left = view.getUint32(4, true);
        pad = (4 - (left % 4)) % 4;
        if (!tables[tag]) tables[tag] = new Grow(tag === TAG.fields || tag === TAG.text ? 1 << 20 : 1 << 12);
        continue;
      }
      const n = Math.min(left, block.length - at);
      tables[tag].push(block.subarray(at, at + n));
      left -= n;
      at += n;
    }
  };
}

// Fields by the 4 KiB page of the file they begin in, so that the page finds the fields that
// hold a byte without a pass over all of them: pages[p]..pages[p+1] index `order`. Fields
// larger than a page are listed apart in `big`.
const PAGE_BITS = 12;
function pageIndex(records, stride, count, imageSize) {
  const pageCount = Math.max(1, Math.ceil(imageSize / (1 << PAGE_BITS)) + 1);
  const pages = new Uint32Array(pageCount + 1);
  const big = [];
  for (let i = 0; i < count; ++i) {
    const offset = records[i * stride];
    if (records[i * stride + 1] > (1 << PAGE_BITS)) big.push(i);
    const p = Math.min(offset >>> PAGE_BITS, pageCount - 1);
    ++pages[p + 1];
  }
  for (let p = 0; p < pageCount; ++p) pages[p + 1] += pages[p];
  const fill = pages.slice(0, pageCount);
  const order = new Uint32Array(count);
  for (let i = 0; i < count; ++i) {
    const p = Math.min(records[i * stride] >>> PAGE_BITS, pageCount - 1);
    order[fill[p]++] = i;
  }
  return { pages, order, big: Uint32Array.from(big) };
}

function walk(leftOut) {
  const started = performance.now();
  const tables = {};
  const read = frameReader(tables);
  const end = core.render(database, { form: 'view', leftOut }, (block) => { read(block); });
  if (end < 0) throw new Error(`the walk failed: ${ENDS[end] || end}`);
  const take = (tag) => (tables[tag] ? tables[tag].take() : new ArrayBuffer(0));
  const fields = take(TAG.fields);
  const reads = take(TAG.reads);
  const imageSize = database.length;
  const fieldIndex = pageIndex(new Uint32Array(fields), 5, fields.byteLength / 20, imageSize);
  const readIndex = pageIndex(new Uint32Array(reads), 2, reads.byteLength / 8, imageSize);
  const message = {
    type: 'view', leftOut, header: take(TAG.header), fields, text: take(TAG.text), blocks: take(TAG.blocks),
    lists: take(TAG.lists), reads, words: take(TAG.words), kinds: take(TAG.kinds), end: take(TAG.end),
    fieldIndex, readIndex, ms: performance.now() - started, memory: core.memoryBytes(),
  };
  const transfer = [message.header, fields, message.text, message.blocks, message.lists, reads, message.words,
                    message.kinds, message.end, fieldIndex.pages.buffer, fieldIndex.order.buffer, fieldIndex.big.buffer,
                    readIndex.pages.buffer, readIndex.order.buffer, readIndex.big.buffer];
  postMessage(message, transfer);
}

const decoder = new TextDecoder('utf-8');

function explain(offset, leftOut) {
  const parts = [];
  core.render(database, { form: 'explain', leftOut, offsets: [offset] }, (block) => { parts.push(block.slice()); });
  return parts.map((p) => decoder.decode(p, { stream: true })).join('') + decoder.decode();
}

// The bytes [start, end) of the text report: the walk renders it all, and only these are kept.
function reportText(start, end, leftOut) {
  const kept = new Grow(1 << 12);
  let at = 0;
  core.render(database, { form: 'text', leftOut }, (block) => {
    const from = Math.max(start - at, 0);
    const to = Math.min(end - at, block.length);
    if (from < to) kept.push(block.subarray(from, to));
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
        database = new Uint8Array(m.database);
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
