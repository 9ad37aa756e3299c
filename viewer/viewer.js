// The viewer's page: draws what the walk reports. The worker (worker.js) runs the walk in
// symdeck-core.wasm and hands over its view form as tables; nothing here decodes the
// database's structures. Only what is visible is in the document: the tree, the field table
// and the hex pane draw the rows in view and no more.
'use strict';
(() => {
const $ = (id) => document.getElementById(id);
const hex = (n) => '0x' + n.toString(16).toUpperCase();
const utf8 = new TextDecoder('utf-8');

// The kinds of section the switches leave out, by their directory kind (bit k of leftOut).
const SECTIONS = [['NMTP', 3], ['STTB', 2], ['SYMD', 6], ['TYTB', 4], ['HSHT', 5], ['FPOD', 8], ['SRCP', 7], ['GTYP', 1]];
// Block record words (src/report/view_printer.h).
const B = { index: 0, parent: 1, offset: 2, size: 3, firstField: 4, fieldEnd: 5, subtreeEnd: 6, position: 7,
            count: 8, word: 9, number: 10, textStartLow: 11, textStartHigh: 12, textEndLow: 13, textEndHigh: 14,
            children: 15 };
const BW = 16;
const NO_BLOCK = 0xFFFFFFFF;
const UNKNOWN_KIND = 0xFF;
const MARK_ENTRY = 2, MARK_TYPE = 3;
const FLAG = { inFile: 1, elementStart: 2, inElement: 4, problem: 8 };
const LEADS = ['nothing', 'block', 'elements', 'area', 'array', 'text', 'record', 'leftOut'];
const PAGE_BITS = 12;
const END_WORDS = 16;
const FIELD_BYTES = 24;
// A database up to this size has all its fields in the page; a larger one keeps the tree
// whole and the fields of a window of WINDOW_BYTES around what is shown (the address's
// ?window=N asks for windows of N bytes whatever the size).
const ALL_FIELDS_UP_TO = 8 << 20;
const WINDOW_BYTES = 256 << 10;
// And the fields of the walk around the rows the field table shows: some before, more after
// (the blocks that follow in the tree).
const WINDOW_FIELDS_BEFORE = 1024, WINDOW_FIELDS_AFTER = 7168;
// A block's field table draws every row up to this many, and the rows in view beyond.
const ALL_ROWS_UP_TO = 300;
// The bytes held around each place on screen: where a block the tree shows begins, where a
// link leads.
const PLACE_BYTES = 2048;
// Milliseconds the page rests before it fetches the fields of what it shows.
const PREFETCH_AFTER = 250;

const state = {
  worker: null, bytes: null, name: '', leftOut: 0, view: null, expanded: new Set(), visible: new Uint32Array(0),
  block: -1, field: -1, byte: -1, explainId: 0, textId: 0, waiting: new Map(), firstTree: true,
  windowBytes: 0, windowId: 0, windowWaiting: null, windowTimer: 0, windowTimes: [], searchId: 0,
  hexMiddle: 0, hexView: null, prefetchTimer: 0, placeBytes: 0, fieldsBefore: 0, fieldsAfter: 0,
};

// ---- the view's tables ------------------------------------------------------------------

// A table of fixed-size records in the frames the walk sent them in: every frame but the
// last holds `per` records.
function frameRecords(frames, bytesPer, per) {
  const u32 = frames.map((f) => new Uint32Array(f));
  const u8 = frames.map((f) => new Uint8Array(f));
  const words = bytesPer / 4;
  return {
    count: frames.reduce((n, f) => n + f.byteLength / bytesPer, 0),
    word: (i, w) => u32[(i / per) | 0][(i % per) * words + w],
    byte: (i, b) => u8[(i / per) | 0][(i % per) * bytesPer + b],
  };
}
// One table in one array: records of `words` 32-bit words.
function flatRecords(buffer, bytesPer) {
  const u32 = new Uint32Array(buffer);
  const words = bytesPer / 4;
  return { count: buffer.byteLength / bytesPer, word: (i, w) => u32[i * words + w] };
}
// Bytes in frames: [start, end) of all of them, a view into one frame where it can be.
function frameBytes(frames) {
  const parts = frames.map((f) => new Uint8Array(f));
  const starts = [0];
  for (const p of parts) starts.push(starts[starts.length - 1] + p.length);
  return (start, end) => {
    let lo = 0, hi = parts.length - 1;
    while (lo < hi) {
      const mid = (lo + hi + 1) >> 1;
      if (starts[mid] <= start) lo = mid; else hi = mid - 1;
    }
    if (parts.length === 0) return new Uint8Array(0);
    if (end <= starts[lo + 1]) return parts[lo].subarray(start - starts[lo], end - starts[lo]);
    const joined = new Uint8Array(end - start);
    for (let k = lo, at = 0; at < joined.length; ++k) {
      const piece = parts[k].subarray(Math.max(0, start - starts[k]), Math.min(parts[k].length, end - starts[k]));
      joined.set(piece, at);
      at += piece.length;
    }
    return joined;
  };
}

// The fields the page holds: every one of the walk, or those of a window (a walk again
// that recorded them; each names its index in the walk, in increasing order).
function makeFields(fieldFrames, textFrames, per, window, bytes = []) {
  const rec = frameRecords(fieldFrames, FIELD_BYTES, per);
  const f = { rec, text: frameBytes(textFrames), count: rec.count, window, ids: null, index: null,
              bytes: bytes.map((b) => new Uint8Array(b)) };
  if (window) {
    f.ids = new Uint32Array(rec.count);
    for (let k = 0; k < rec.count; ++k) f.ids[k] = rec.word(k, 5);
  }
  return f;
}

function makeView(m) {
  const u32 = (b) => new Uint32Array(b);
  const per = new DataView(m.header).getUint32(12, true);
  const blocks = frameRecords(m.blocks, 64, per);
  const v = {
    fields: makeFields(m.fields, m.text, per, m.window, m.bytes), per,
    blocks: inOpeningOrder(m.blocks, blocks, per), blockCount: blocks.count,
    lists: u32(m.lists), reads: flatRecords(m.reads, 8), readIndex: null,
    words: [], kinds: [], ms: m.ms, memory: m.memory, steps: m.steps,
  };
  const wordBytes = new Uint8Array(m.words);
  const wordView = new DataView(m.words);
  for (let at = 0; at < wordBytes.length;) {
    const n = wordView.getUint32(at, true);
    v.words.push(utf8.decode(wordBytes.subarray(at + 4, at + 4 + n)));
    at += 4 + Math.ceil(n / 4) * 4;
  }
  const kinds = new DataView(m.kinds);
  for (let at = 0; at < m.kinds.byteLength; at += 8)
    v.kinds.push({ name: v.words[kinds.getUint16(at, true)], type: v.words[kinds.getUint16(at + 2, true)],
                   role: kinds.getUint8(at + 4), leads: kinds.getUint8(at + 5) });
  const end = new DataView(m.end);
  const e = (k) => end.getUint32(4 * k, true);
  const lineLength = end.getUint32(4 * END_WORDS, true);
  v.end = { how: e(0), header: v.words[e(1)], offset: e(2) + e(3) * 2 ** 32, number: e(4) + e(5) * 2 ** 32,
            openBlock: e(6), line: utf8.decode(new Uint8Array(m.end, 4 * END_WORDS + 4, lineLength)) };
  v.fieldCount = e(8);
  // The top-level blocks, in order.
  v.top = [];
  for (let b = 0; b < v.blockCount; b = v.blocks.word(b, B.subtreeEnd)) v.top.push(b);
  return v;
}

// Blocks come as they close; each record names its place in the order they open (the
// text report's). They stay in their frames, found through that order (no copy of them all).
function inOpeningOrder(frames, records, per) {
  const words = frames.map((f) => new Uint32Array(f));
  const at = new Uint32Array(records.count);
  for (let i = 0; i < records.count; ++i) at[records.word(i, B.index)] = i;
  return { word: (b, k) => { const i = at[b]; return words[(i / per) | 0][(i % per) * BW + k]; } };
}

// Fields (and reads) by the 4 KiB page of the file they begin in, so that the page finds
// the fields that hold a byte without a pass over all of them: pages[p]..pages[p+1] index
// `order`. Fields larger than a page are listed apart in `big`. Built in slices after the
// tree is drawn, so the page answers meanwhile; `done` gets it.
function buildPageIndex(records, imageSize, done, atOnce = false) {
  const count = records.count;
  const pageCount = Math.max(1, Math.ceil(imageSize / (1 << PAGE_BITS)) + 1);
  const pages = new Uint32Array(pageCount + 1);
  const order = new Uint32Array(count);
  const big = [];
  let fill = null;
  let i = 0, pass = 0;
  const slice = () => {
    const stop = Math.min(count, i + (1 << 20));
    if (pass === 0) {
      for (; i < stop; ++i) {
        if (records.word(i, 1) > (1 << PAGE_BITS)) big.push(i);
        ++pages[Math.min(records.word(i, 0) >>> PAGE_BITS, pageCount - 1) + 1];
      }
      if (i === count) {
        for (let p = 0; p < pageCount; ++p) pages[p + 1] += pages[p];
        fill = pages.slice(0, pageCount);
        pass = 1;
        i = 0;
      }
    } else {
      for (; i < stop; ++i) order[fill[Math.min(records.word(i, 0) >>> PAGE_BITS, pageCount - 1)]++] = i;
      if (i === count) { done({ pages, order, big: Uint32Array.from(big) }); return; }
    }
    if (atOnce) slice(); else setTimeout(slice, 0);
  };
  slice();
}

const blk = (b, k) => state.view.blocks.word(b, k);
// The database's byte at `at`: the page of a large database holds the bytes of its window's
// spans only (undefined elsewhere).
function byteAt(at) {
  if (state.bytes instanceof Uint8Array) return state.bytes[at];
  const f = state.view && state.view.fields;
  if (!f || !f.window) return undefined;
  const k = f.window.bytes.findIndex(([a, b]) => at >= a && at < b);
  return k < 0 ? undefined : f.bytes[k][at - f.window.bytes[k][0]];
}

// Field i of the walk is record slotOf(i) of the fields held (-1: not held).
function slotOf(i) {
  const f = state.view.fields;
  if (!f.ids) return i >= 0 && i < f.count ? i : -1;
  let lo = 0, hi = f.ids.length - 1;
  while (lo <= hi) {
    const mid = (lo + hi) >> 1;
    if (f.ids[mid] === i) return mid;
    if (f.ids[mid] < i) lo = mid + 1; else hi = mid - 1;
  }
  return -1;
}
const idOf = (k) => (state.view.fields.ids ? state.view.fields.ids[k] : k);
const fieldWord = (i, w) => state.view.fields.rec.word(slotOf(i), w);
const fieldOffset = (i) => fieldWord(i, 0);
const fieldSize = (i) => fieldWord(i, 1);
const fieldKindId = (i) => fieldWord(i, 4) & 0xFFFF;
const fieldKind = (i) => state.view.kinds[fieldKindId(i)];
const fieldFlags = (i) => state.view.fields.rec.byte(slotOf(i), 18);
const fieldTarget = (i) => fieldWord(i, 2) + state.view.fields.rec.byte(slotOf(i), 19) * 2 ** 32;
// The bytes of a held field's value text: from the end of the one held before to its own.
function slotText(f, k) {
  return f.text(k === 0 ? 0 : f.rec.word(k - 1, 3), f.rec.word(k, 3));
}
const fieldText = (i) => slotText(state.view.fields, slotOf(i));
const fieldValue = (i) => utf8.decode(fieldText(i));

// The block whose own fields include field i: the last block opened at or before it (a
// block's fields come before its children's).
function blockOfField(i) {
  const v = state.view;
  let lo = 0, hi = v.blockCount - 1, found = -1;
  while (lo <= hi) {
    const mid = (lo + hi) >> 1;
    if (v.blocks.word(mid, B.firstField) <= i) { found = mid; lo = mid + 1; } else hi = mid - 1;
  }
  return found;
}

// Every field or read that touches [from, to), through the page index: each once.
function touching(index, records, from, to, each) {
  const last = Math.min((to - 1) >>> PAGE_BITS, index.pages.length - 2);
  const first = Math.max(0, (Math.max(0, from - (1 << PAGE_BITS)) >>> PAGE_BITS));
  for (let p = first; p <= last; ++p)
    for (let k = index.pages[p]; k < index.pages[p + 1]; ++k) {
      const i = index.order[k];
      const o = records.word(i, 0);
      const size = records.word(i, 1);
      if (o < to && o + size > from) each(i, o, size);
    }
  for (const i of index.big) {
    const o = records.word(i, 0);
    const p = o >>> PAGE_BITS;
    if (p >= first && p <= last) continue;  // seen among its page's
    const size = records.word(i, 1);
    if (o < to && o + size > from) each(i, o, size);
  }
}

// The innermost field that holds byte `b` (the smallest), or -1 (also while the index is
// being built).
function fieldAt(b) {
  const f = state.view.fields;
  if (!f.index) return -1;
  let best = -1, bestSize = Infinity;
  touching(f.index, f.rec, b, b + 1, (k, o, size) => {
    if (size > 0 && size < bestSize) { best = idOf(k); bestSize = size; }
  });
  return best;
}

// ---- windows of fields (a large database) -----------------------------------------------

// Whether the fields held include rows [from, to) of block b's table, and every field that
// touches bytes [from, to).
function holdsRows(b, from, to) {
  const w = state.view.fields.window;
  if (!w || b < 0 || from >= to) return true;
  const first = blk(b, B.firstField);
  return holdsFields(first + from, first + to);
}
// Whether fields [a, b) of the walk are all held: the first and the last are, with as many
// records between them (ids increase).
function holdsFields(a, b) {
  const k0 = slotOf(a), k1 = slotOf(b - 1);
  return k0 >= 0 && k1 >= 0 && k1 - k0 === b - 1 - a;
}
// The rows of block b's table drawn when row k is to be in view.
function rowsAround(b, k) {
  const count = blk(b, B.fieldEnd) - blk(b, B.firstField);
  if (count <= ALL_ROWS_UP_TO) return [0, count];
  return [Math.max(0, k - 50), Math.min(count, k + 100)];
}
// Spans [from, to) in increasing order, joined where they meet or overlap.
function mergeSpans(spans) {
  const out = [];
  for (const [a, b] of spans.filter(([a, b]) => a < b).sort((x, y) => x[0] - y[0])) {
    const last = out[out.length - 1];
    if (last && a <= last[1]) last[1] = Math.max(last[1], b); else out.push([a, b]);
  }
  return out;
}
const within = (spans, from, to) => spans.some(([a, b]) => from >= a && to <= b);
function holdsBytes(from, to) {
  const w = state.view.fields.window;
  return !w || within(w.bytes, from, Math.min(to, state.bytes.length));
}
// Whether every field of every span of `w` is held.
function holdsAll(w) {
  const held = state.view.fields.window;
  if (!held) return true;
  if (!w.bytes.every(([a, b]) => within(held.bytes, a, b))) return false;
  return w.fields.every(([a, b]) => holdsFields(a, b));
}

// The row of the field table at its top.
const tableRow = () => Math.floor($('fields-scroll').scrollTop / FIELD_ROW);

// What the page wants held: the bytes around `byte` (where the hex pane is), the rows of
// block b's table around row `row` and the fields after them (the blocks that follow in the
// tree), and what else is on screen: the first rows of the blocks the tree shows, and the
// places its blocks begin and the selected block's links lead to. So a click on what is in view finds its fields
// here once this window has come.
function wanted(byte, b, row = 0) {
  const size = state.bytes.length;
  const v = state.view;
  const total = v ? v.fieldCount : state.fieldsAfter;
  const bytes = [], fields = [];
  // [at - half, at + half), moved inside the file, from a multiple of 16 on.
  const around = (at, half) => {
    const low = Math.max(0, Math.min(Math.floor(at - half), size - 2 * half));
    const from = low - (low % 16);
    bytes.push([from, Math.min(size, Math.max(from + 2 * half, Math.ceil(at + half)))]);
  };
  if (byte >= 0) around(byte, state.windowBytes / 2);
  // The bytes the hex pane shows, however many.
  if (state.hexView && byte === state.hexMiddle) bytes.push(state.hexView.slice());
  const at = v && b >= 0 ? blk(b, B.firstField) + row : 0;
  fields.push([Math.max(0, at - state.fieldsBefore), Math.min(total, at + state.fieldsAfter)]);
  if (v) {
    const vis = state.visible;
    const g = scrollGeometry($('tree'), vis.length, TREE_ROW);
    for (let r = g.first; r <= g.last && r < vis.length; ++r) {
      const first = blk(vis[r], B.firstField);
      fields.push([first, first + rowsAround(vis[r], 0)[1]]);
      const offset = blk(vis[r], B.offset);
      if (offset !== NO_BLOCK && offset < size) around(offset, state.placeBytes / 2);
    }
    const s = state.block;
    if (s >= 0 && v.fields.window) {
      const first = blk(s, B.firstField);
      const [from, to] = rowsAround(s, tableRow());
      for (let i = first + from; i < first + to; ++i) {
        const k = slotOf(i);
        if (k < 0 || v.kinds[v.fields.rec.word(k, 4) & 0xFFFF].leads === 0) continue;
        if (v.fields.rec.byte(k, 18) & FLAG.inFile) around(fieldTarget(i), state.placeBytes / 2);
      }
    }
  }
  return { bytes: mergeSpans(bytes), fields: mergeSpans(fields), countText: !v || v.end.how !== 3 };
}

// After the page has moved, the fields of what is now on screen, fetched ahead of a click.
function prefetch() {
  clearTimeout(state.prefetchTimer);
  if (!state.view || !state.view.fields.window) return;
  state.prefetchTimer = setTimeout(() => {
    if (state.windowWaiting) return;
    const w = wanted(state.hexMiddle, state.block, tableRow());
    if (!holdsAll(w)) requestWindow(w, () => { drawFields(); drawHex(); });
  }, PREFETCH_AFTER);
}

// Asks the worker for the fields of `window`; `then` runs when they are here (unless another
// request came after this one).
function requestWindow(window, then) {
  const id = ++state.windowId;
  state.windowWaiting = { id, then, asked: performance.now() };
  status(`Reading the fields there…`);
  state.worker.postMessage({ type: 'fields', id, leftOut: state.leftOut, window });
}

function receivedWindow(m) {
  if (!state.windowWaiting || m.id !== state.windowWaiting.id || !state.view) return;
  const { then, asked } = state.windowWaiting;
  state.windowWaiting = null;
  // How long windows take (bench/viewer_scale.mjs reads it).
  state.windowTimes.push(performance.now() - asked);
  const f = makeFields(m.fields, m.text, state.view.per, m.window, m.bytes);
  buildPageIndex(f.rec, state.bytes.length, (index) => { f.index = index; }, true);
  state.view.fields = f;
  status(`${state.name}: ${state.view.blockCount} blocks, ${state.view.fieldCount} fields; ${f.count} of them held`);
  then();
}

function blockLabel(b) {
  const v = state.view;
  const w = blk(b, B.word);
  const mark = w >>> 24;
  let label = v.words[w & 0xFFFF];
  if (mark === UNKNOWN_KIND) return `${label} (value ${blk(b, B.number) | 0})`;
  if (mark === MARK_ENTRY) label += ` (${blk(b, B.number)})`;
  if (mark === MARK_TYPE) label += ` (type: ${hex(blk(b, B.number))})`;
  return label;
}
function blockPlace(b) {
  const count = blk(b, B.count), position = blk(b, B.position);
  return count > 1 || position > 0 ? `${position + 1} of ${count}` : '';
}

// ---- the tree -------------------------------------------------------------------------

const TREE_ROW = 20;
const MAX_SCROLL = 8e6;  // px: browsers cap an element's height; taller lists are scaled

function childrenOf(b, each) {
  const end = b < 0 ? state.view.blockCount : blk(b, B.subtreeEnd);
  for (let c = b + 1; c < end; c = blk(c, B.subtreeEnd)) each(c);
}

function buildVisible() {
  const out = [];
  const visit = (b) => {
    out.push(b);
    if (state.expanded.has(b)) childrenOf(b, visit);
  };
  childrenOf(-1, visit);
  state.visible = Uint32Array.from(out);
  state.rowOf = null;
}

function rowOfBlock(b) {
  const vis = state.visible;
  // Visible blocks are in increasing order: a binary search finds it.
  let lo = 0, hi = vis.length - 1;
  while (lo <= hi) {
    const mid = (lo + hi) >> 1;
    if (vis[mid] === b) return mid;
    if (vis[mid] < b) lo = mid + 1; else hi = mid - 1;
  }
  return -1;
}

// A virtual list in a scrolling element: `count` rows of `rowHeight`. Which rows are in view,
// and where the first of them goes. A list taller than browsers let an element be is
// scaled: its scroll range stands for all its rows.
function scrollGeometry(scroller, count, rowHeight) {
  const full = count * rowHeight;
  const height = Math.min(full, MAX_SCROLL);
  scroller.querySelector('.spacer').style.height = height + 'px';
  const shown = Math.ceil(scroller.clientHeight / rowHeight) + 1;
  const top = scroller.scrollTop;
  let first;
  if (full <= MAX_SCROLL) {
    first = Math.floor(top / rowHeight);
  } else {
    const range = Math.max(1, height - scroller.clientHeight);
    first = Math.round((Math.min(top, range) / range) * Math.max(0, count - shown + 1));
  }
  first = Math.max(0, Math.min(first, count - 1));
  const place = full <= MAX_SCROLL ? first * rowHeight : top;
  return { first, last: Math.min(count - 1, first + shown), shown, top: place };
}
function scrollToRow(scroller, row, count, rowHeight) {
  const g = scrollGeometry(scroller, count, rowHeight);
  if (row >= g.first && row < g.first + g.shown - 2) return;
  const target = Math.max(0, row - Math.floor(g.shown / 3));
  const full = count * rowHeight;
  if (full <= MAX_SCROLL) {
    scroller.scrollTop = target * rowHeight;
  } else {
    const range = Math.max(1, MAX_SCROLL - scroller.clientHeight);
    scroller.scrollTop = (target / Math.max(1, count - g.shown + 1)) * range;
  }
}

function drawTree() {
  const tree = $('tree');
  const vis = state.visible;
  const g = scrollGeometry(tree, vis.length, TREE_ROW);
  const rows = [];
  for (let r = g.first; r <= g.last && r < vis.length; ++r) rows.push(treeRow(vis[r], r - g.first, g.top));
  tree.replaceChildren(tree.querySelector('.spacer'), ...rows);
  if (state.block >= 0) tree.setAttribute('aria-activedescendant', 'block-' + state.block);
  else tree.removeAttribute('aria-activedescendant');
  prefetch();
}

function treeRow(b, k, top) {
  const row = document.createElement('div');
  row.className = 'row';
  row.id = 'block-' + b;
  row.setAttribute('role', 'treeitem');
  const depth = (blk(b, B.word) >>> 16) & 0xFF;
  row.setAttribute('aria-level', depth + 1);
  const children = blk(b, B.children);
  const open = state.expanded.has(b);
  if (children > 0) row.setAttribute('aria-expanded', open ? 'true' : 'false');
  row.setAttribute('aria-selected', b === state.block ? 'true' : 'false');
  row.style.top = top + k * TREE_ROW + 'px';
  row.style.paddingLeft = 4 + depth * 16 + 'px';
  row.dataset.block = b;
  const twisty = document.createElement('span');
  twisty.className = 'twisty';
  twisty.setAttribute('aria-hidden', 'true');
  twisty.textContent = children > 0 ? (open ? '▾' : '▸') : '';
  const title = document.createElement('span');
  title.className = 'title';
  title.textContent = blockLabel(b);
  row.append(twisty, title);
  const offset = blk(b, B.offset);
  if (offset !== NO_BLOCK) {
    const off = document.createElement('span');
    off.className = 'off';
    off.textContent = hex(offset);
    row.append(off);
  }
  const place = blockPlace(b);
  if (place) {
    const p = document.createElement('span');
    p.className = 'place';
    p.textContent = place;
    row.append(p);
  }
  if (children > 0 && !open) {
    const c = document.createElement('span');
    c.className = 'count';
    c.textContent = `(${children})`;
    row.append(c);
  }
  return row;
}

function toggle(b, open) {
  if (blk(b, B.children) === 0) return;
  if (open === undefined) open = !state.expanded.has(b);
  if (open) state.expanded.add(b); else state.expanded.delete(b);
  buildVisible();
  drawTree();
}

function revealBlock(b) {
  let changed = false;
  for (let p = blk(b, B.parent); p !== NO_BLOCK; p = blk(p, B.parent))
    if (!state.expanded.has(p)) { state.expanded.add(p); changed = true; }
  if (changed) buildVisible();
  const row = rowOfBlock(b);
  if (row >= 0) scrollToRow($('tree'), row, state.visible.length, TREE_ROW);
}

// ---- the field table ------------------------------------------------------------------

const FIELD_ROW = 20;

function drawFields() {
  const body = $('fields').tBodies[0];
  const b = state.block;
  if (b < 0) {
    body.replaceChildren();
    $('block-title').textContent = state.view ? 'No block' : 'No database';
    return;
  }
  const first = blk(b, B.firstField), end = blk(b, B.fieldEnd);
  const offset = blk(b, B.offset);
  $('block-title').textContent = `${blockLabel(b)}${offset !== NO_BLOCK ? ' at ' + hex(offset) : ''}${blockPlace(b) ? ', ' + blockPlace(b) : ''}: ${end - first} fields`;
  const scroller = $('fields-scroll');
  const count = end - first;
  let from = 0, to = count;
  // Long blocks (lists of thousands of rows) are drawn a window at a time.
  if (count > ALL_ROWS_UP_TO) {
    const top = Math.max(0, scroller.scrollTop - 40);
    from = Math.min(count, Math.floor(top / FIELD_ROW));
    to = Math.min(count, from + Math.ceil(scroller.clientHeight / FIELD_ROW) + 10);
  }
  if (!holdsRows(b, from, to)) {
    // These rows' fields are not here yet: the worker reads them.
    body.replaceChildren(spacerRow(from * FIELD_ROW), spacerRow(FIELD_ROW), spacerRow((count - from - 1) * FIELD_ROW));
    body.children[1].firstChild.textContent = 'Reading the fields…';
    body.children[1].classList.add('reading');
    clearTimeout(state.rowsTimer);
    state.rowsTimer = setTimeout(() => {
      if (state.block === b && !holdsRows(b, from, to) && !state.windowWaiting)
        requestWindow(wanted(state.hexMiddle, b, from), () => drawFields());
    }, 100);
    return;
  }
  const rows = [];
  if (from > 0) rows.push(spacerRow(from * FIELD_ROW));
  for (let k = from; k < to; ++k) rows.push(fieldRow(first + k));
  if (to < count) rows.push(spacerRow((count - to) * FIELD_ROW));
  body.replaceChildren(...rows);
}

function spacerRow(height) {
  const tr = document.createElement('tr');
  tr.setAttribute('aria-hidden', 'true');
  tr.className = 'spacer-row';
  const td = document.createElement('td');
  td.colSpan = 5;
  td.style.height = height + 'px';
  td.style.padding = '0';
  tr.append(td);
  return tr;
}

function fieldRow(i) {
  const tr = document.createElement('tr');
  tr.style.height = FIELD_ROW + 'px';
  tr.dataset.field = i;
  const kind = fieldKind(i);
  const flags = fieldFlags(i);
  if (flags & FLAG.elementStart) tr.classList.add('element-start');
  if (flags & FLAG.problem) tr.classList.add('problem');
  if (i === state.field) tr.classList.add('selected');
  const cell = (text) => { const td = document.createElement('td'); td.textContent = text; tr.append(td); return td; };
  const offsetCell = cell('');
  const jump = document.createElement('a');
  jump.href = '#' + hex(fieldOffset(i));
  jump.textContent = hex(fieldOffset(i));
  jump.dataset.offset = fieldOffset(i);
  offsetCell.append(jump);
  cell(kind.type);
  cell(kind.name);
  cell(fieldValue(i));
  const leads = cell('');
  if (kind.leads !== 0) {
    const target = fieldTarget(i);
    if (flags & FLAG.inFile) {
      const a = document.createElement('a');
      a.href = '#' + hex(target);
      a.setAttribute('role', 'link');
      a.textContent = hex(target);
      a.dataset.offset = target;
      a.title = `${LEADS[kind.leads]} at ${hex(target)}`;
      leads.append(a);
    } else if (((flags >> 4) & 7) === 0) {
      leads.textContent = `${hex(target)} (outside the file)`;
    }
  }
  return tr;
}

// ---- the hex pane ---------------------------------------------------------------------

const HEX_ROW = 18;
const HEX_BYTES = Array.from({ length: 256 }, (_, b) => b.toString(16).toUpperCase().padStart(2, '0'));
const hexRows = [];

// A row of the hex pane: its offset, sixteen cells and their characters.
function hexRow() {
  const element = document.createElement('div');
  element.setAttribute('role', 'row');
  const addr = document.createElement('span');
  addr.className = 'addr';
  addr.setAttribute('role', 'rowheader');
  element.append(addr);
  const cells = [];
  for (let c = 0; c < 16; ++c) {
    const cell = document.createElement('span');
    cell.setAttribute('role', 'gridcell');
    element.append(cell);
    cells.push(cell);
  }
  const ascii = document.createElement('span');
  ascii.className = 'ascii';
  ascii.setAttribute('aria-hidden', 'true');
  element.append(ascii);
  return { element, addr, cells, ascii };
}

function drawHex() {
  const grid = $('hex');
  const scroller = $('hex-scroll');
  if (!state.bytes) { grid.replaceChildren(); return; }
  const size = state.bytes.length;
  const rowsTotal = Math.max(1, Math.ceil(size / 16));
  const g = scrollGeometry(scroller, rowsTotal, HEX_ROW);
  const from = g.first * 16, to = Math.min(size, (g.last + 1) * 16);
  state.hexMiddle = Math.floor((from + to) / 2);
  state.hexView = [from, to];
  grid.style.top = g.top + 'px';
  // Who holds each byte in view: the smallest field, its block's word as the tint; the bytes
  // the walk reads without showing; the selected field's bytes.
  const n = Math.max(0, to - from);
  const owner = new Int32Array(n).fill(-1);
  const ownerSize = new Float64Array(n).fill(Infinity);
  const read = new Uint8Array(n);
  const f = state.view && state.view.fields;
  if (f && f.index && state.view.readIndex) {
    touching(f.index, f.rec, from, to, (k, o, s) => {
      const i = idOf(k);
      for (let x = Math.max(o, from); x < Math.min(o + s, to); ++x)
        if (s < ownerSize[x - from]) { owner[x - from] = i; ownerSize[x - from] = s; }
    });
    touching(state.view.readIndex, state.view.reads, from, to, (i, o, s) => {
      for (let x = Math.max(o, from); x < Math.min(o + s, to); ++x) read[x - from] = 1;
    });
  }
  const tints = new Map();
  const tintOf = (i) => {
    if (!tints.has(i)) {
      const b = blockOfField(i);
      tints.set(i, b < 0 ? 0 : (blk(b, B.word) & 0xFFFF) % 8);
    }
    return tints.get(i);
  };
  const selected = state.field >= 0 && slotOf(state.field) >= 0;
  const selStart = selected ? fieldOffset(state.field) : -1;
  const selEnd = selected ? selStart + fieldSize(state.field) : -1;
  // Bytes outside the window held are drawn plain until the worker sends the fields there.
  const window = f && f.window;
  if (window && !holdsBytes(from, to)) {
    clearTimeout(state.windowTimer);
    state.windowTimer = setTimeout(() => {
      const middle = Math.floor((from + to) / 2);
      if (!holdsBytes(from, to) && !state.windowWaiting) requestWindow(wanted(middle, state.block, tableRow()), () => drawHex());
    }, 150);
  }
  // The rows are kept and filled anew: only their texts and marks change as the pane moves.
  const rowCount = Math.max(0, Math.min(g.last, rowsTotal - 1) - g.first + 1);
  while (hexRows.length < rowCount) hexRows.push(hexRow());
  const shown = hexRows.slice(0, rowCount);
  for (let k = 0; k < rowCount; ++k) {
    const r = g.first + k;
    const row = shown[k];
    row.addr.textContent = (r * 16).toString(16).toUpperCase().padStart(8, '0');
    let ascii = '';
    for (let c = 0; c < 16; ++c) {
      const at = r * 16 + c;
      const cell = row.cells[c];
      if (at >= size) {
        cell.hidden = true;
        continue;
      }
      cell.hidden = false;
      cell.setAttribute('aria-label', hex(at));
      cell.dataset.offset = at;
      const byte = byteAt(at);
      cell.textContent = byte === undefined ? '··' : HEX_BYTES[byte];
      const i = owner[at - from];
      const pending = window && !within(window.bytes, at, at + 1);
      let cls = pending ? 'pending' : i >= 0 ? 'k' + tintOf(i) : read[at - from] ? 'read' : 'gap';
      if (at >= selStart && at < selEnd) cls += ' mark';
      cell.className = cls;
      if (at === state.byte) {
        cell.setAttribute('aria-selected', 'true');
        cell.id = 'byte-selected';
      } else if (cell.id) {
        cell.removeAttribute('aria-selected');
        cell.removeAttribute('id');
      }
      ascii += byte >= 0x20 && byte < 0x7F ? String.fromCharCode(byte) : '.';
    }
    row.ascii.textContent = ascii;
  }
  if (grid.childElementCount !== rowCount) grid.replaceChildren(...shown.map((row) => row.element));
  if (state.byte >= 0) grid.setAttribute('aria-activedescendant', 'byte-selected');
  prefetch();
}

// ---- selection and places -------------------------------------------------------------

function selectBlock(b, options = {}) {
  const { field = -1, byte, history = 'replace', quiet = false } = options;
  // A block whose fields the page does not hold: they are read first.
  const place = byte !== undefined ? byte : (b >= 0 && blk(b, B.offset) !== NO_BLOCK ? blk(b, B.offset) : -1);
  const margin = state.windowBytes ? Math.min(256, state.windowBytes >> 2) : 0;
  const row = b >= 0 && field >= 0 ? field - blk(b, B.firstField) : 0;
  const [rowFrom, rowTo] = b >= 0 ? rowsAround(b, row) : [0, 0];
  const held = holdsRows(b, rowFrom, rowTo) && (place < 0 || holdsBytes(Math.max(0, place - margin), place + margin));
  // Asked once: what the worker sends is drawn (a field table still short of rows asks again).
  if (!held && !options.asked) {
    requestWindow(wanted(place, b, rowFrom), () => selectBlock(b, { ...options, asked: true }));
    return;
  }
  state.block = b;
  state.field = field;
  state.byte = byte !== undefined ? byte : (b >= 0 && blk(b, B.offset) !== NO_BLOCK ? blk(b, B.offset) : -1);
  $('copy').disabled = b < 0;
  if (b >= 0) revealBlock(b);
  $('fields-scroll').scrollTop = 0;
  if (field >= 0 && b >= 0) {
    const k = field - blk(b, B.firstField);
    $('fields-scroll').scrollTop = Math.max(0, k * FIELD_ROW - 60);
  }
  // Every pane scrolled first, then each drawn once: a layout between two drawings would
  // cost more than the drawings.
  if (state.byte >= 0) scrollToRow($('hex-scroll'), Math.floor(state.byte / 16), Math.ceil(state.bytes.length / 16), HEX_ROW);
  draw();
  if (state.byte >= 0) {
    setPlace(state.byte, history);
    if (!quiet) explainByte(state.byte);
  }
}

// Selects the innermost field that holds byte `b`, its block in the tree.
function selectByte(b, history = 'push') {
  if (!state.view || !(b >= 0)) return;
  if (b < state.bytes.length && !holdsBytes(b, b + 1)) {
    requestWindow(wanted(b, state.block, tableRow()), () => { if (holdsBytes(b, b + 1)) selectByte(b, history); });
    return;
  }
  if (!state.view.fields.index) { status('Indexing the fields by offset…'); return; }
  const i = b < state.bytes.length ? fieldAt(b) : -1;
  let block = i >= 0 ? blockOfField(i) : -1;
  // Where the walk stopped, no field holds the byte: the block open there is the place.
  const end = state.view.end;
  if (block < 0 && end.how !== 0 && b === end.offset && end.openBlock !== NO_BLOCK) block = end.openBlock;
  selectBlock(block, { field: i, byte: b, history });
}

function setPlace(b, history) {
  const hash = '#' + hex(b);
  if (location.hash === hash) return;
  if (history === 'push') window.history.pushState(null, '', hash);
  else if (history === 'replace') window.history.replaceState(null, '', hash);
}

function draw() {
  drawTree();
  drawFields();
  drawHex();
}

// "0x..." hexadecimal, plain digits decimal, as --explain reads them.
function parseOffset(text) {
  const t = text.trim();
  if (/^0[xX][0-9a-fA-F]+$/.test(t)) return parseInt(t.slice(2), 16);
  if (/^[0-9]+$/.test(t)) return parseInt(t, 10);
  return NaN;
}

function explainByte(b) {
  const id = ++state.explainId;
  $('holders').replaceChildren();
  state.worker.postMessage({ type: 'explain', id, offset: b, leftOut: state.leftOut });
}

// The answers of explain, one item each: a line that names the offset, and the lines under it.
function showHolders(m) {
  if (m.id !== state.explainId) return;
  const items = [];
  for (const line of m.text.split('\n')) {
    if (line === '') continue;
    if (!line.startsWith(' ') || items.length === 0) items.push([line]);
    else items[items.length - 1].push(line);
  }
  $('holders').replaceChildren(...items.map((lines) => {
    const li = document.createElement('li');
    li.textContent = lines.join('\n');
    return li;
  }));
}

// ---- search ---------------------------------------------------------------------------

const MAX_RESULTS = 200;
let searchRun = 0;

// Names (the texts that name-index fields and string tables hold) and block titles that
// contain the query, case aside. A long search goes on in slices, so typing stays quick.
function search(query) {
  const run = ++searchRun;
  const list = $('results');
  list.replaceChildren();
  const q = query.trim().toLowerCase();
  if (!q || !state.view) return;
  const v = state.view;
  const results = [];
  const wordHits = new Set();
  v.words.forEach((w, k) => { if (w.toLowerCase().includes(q)) wordHits.add(k); });
  for (let b = 0; b < v.blockCount && results.length < MAX_RESULTS; ++b)
    if (wordHits.has(blk(b, B.word) & 0xFFFF)) results.push({ block: b });
  const found = (i, f, k) => ({ field: i, name: v.kinds[f.rec.word(k, 4) & 0xFFFF].name,
                                 value: utf8.decode(slotText(f, k)), offset: f.rec.word(k, 0) });
  if (v.fields.window) {
    // The names are not all here: the worker walks for them.
    showResults(results);
    if (results.length >= MAX_RESULTS) return;
    status(`Searching ${state.name} for "${q}"…`);
    const id = ++state.searchId;
    state.searchDone = (m) => {
      if (m.id !== state.searchId || run !== searchRun) return;
      const f = makeFields(m.fields, m.text, v.per, {});
      for (let k = 0; k < f.count && results.length < MAX_RESULTS; ++k) results.push(found(f.ids[k], f, k));
      status(`${results.length} found`);
      showResults(results);
    };
    state.worker.postMessage({ type: 'search', id, leftOut: state.leftOut, query: q, most: MAX_RESULTS - results.length,
                               countText: v.end.how !== 3 });
    return;
  }
  const nameKinds = new Set();
  v.kinds.forEach((k, id) => { if (k.role === 3 || k.role === 7) nameKinds.add(id); });
  const needle = new TextEncoder().encode(q);
  let i = 0;
  const slice = () => {
    if (run !== searchRun) return;
    const stop = performance.now() + 12;
    for (; i < v.fields.count && results.length < MAX_RESULTS; ++i) {
      if (!nameKinds.has(fieldKindId(i))) continue;
      if (contains(fieldText(i), needle)) results.push(found(i, v.fields, i));
      if ((i & 1023) === 0 && performance.now() > stop) { showResults(results); setTimeout(slice, 0); return; }
    }
    showResults(results);
  };
  slice();
}

function contains(text, needle) {
  outer: for (let s = 0; s + needle.length <= text.length; ++s) {
    for (let k = 0; k < needle.length; ++k) {
      let c = text[s + k];
      if (c >= 0x41 && c <= 0x5A) c += 0x20;
      if (c !== needle[k]) continue outer;
    }
    return true;
  }
  return false;
}

function showResults(results) {
  $('results').replaceChildren(...results.map((r) => {
    const li = document.createElement('li');
    const button = document.createElement('button');
    button.type = 'button';
    if (r.block !== undefined) {
      const o = blk(r.block, B.offset);
      button.textContent = `${blockLabel(r.block)}${o !== NO_BLOCK ? ' ' + hex(o) : ''}`;
      button.addEventListener('click', () => selectBlock(r.block, { history: 'push' }));
    } else {
      const b = blockOfField(r.field);
      button.textContent = `${r.name} ${r.value} in ${blockLabel(b)} ${hex(r.offset)}`;
      button.addEventListener('click', () => selectBlock(b, { field: r.field, byte: r.offset, history: 'push' }));
    }
    li.append(button);
    return li;
  }));
}

// ---- the walk's end ---------------------------------------------------------------------

function showEnd() {
  const alert = $('alert');
  const end = state.view.end;
  if (end.how === 0) { alert.hidden = true; alert.replaceChildren(); return; }
  // Where it stopped: the structure that broke, or the block open there.
  let place = -1;
  if ((end.how === 1 || end.how === 2) && end.offset < state.bytes.length) place = end.offset;
  else if (end.openBlock !== NO_BLOCK && blk(end.openBlock, B.offset) !== NO_BLOCK) place = blk(end.openBlock, B.offset);
  const text = document.createElement('span');
  text.textContent = `The walk stopped in ${end.header}: ${end.line} `;
  alert.replaceChildren(text);
  if (place >= 0) {
    const a = document.createElement('a');
    a.href = '#' + hex(place);
    a.dataset.offset = place;
    a.textContent = `Go to ${hex(place)}`;
    alert.append(a);
  }
  alert.hidden = false;
}

// ---- the worker -------------------------------------------------------------------------

function base64Bytes(text) {
  const clean = text.replace(/\s+/g, '');
  if (Uint8Array.fromBase64) return Uint8Array.fromBase64(clean);
  const binary = atob(clean);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

function startWorker() {
  const source = $('worker-source').textContent;
  const url = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
  const worker = new Worker(url);
  URL.revokeObjectURL(url);
  worker.onmessage = (event) => {
    const m = event.data;
    switch (m.type) {
      case 'ready': state.ready = true; if (state.pending) { const p = state.pending; state.pending = null; open(p.bytes, p.name); } break;
      case 'view': received(m); break;
      case 'fields': receivedWindow(m); break;
      case 'found': if (state.searchDone) state.searchDone(m); break;
      case 'explain': showHolders(m); break;
      case 'text': { const done = state.waiting.get(m.id); state.waiting.delete(m.id); if (done) done(m.text); break; }
      case 'failed': status(`The walk could not run: ${m.message}`); break;
      default: break;
    }
  };
  const wasm = base64Bytes($('core-wasm').textContent);
  worker.postMessage({ type: 'init', wasm: wasm.buffer }, [wasm.buffer]);
  state.worker = worker;
}

function status(text) { $('status').textContent = text; }

function open(bytes, name) {
  if (!state.ready) { state.pending = { bytes, name }; return; }
  state.bytes = bytes;
  state.name = name;
  state.opened = performance.now();
  state.newFile = true;
  $('name').textContent = name;
  status(`Walking ${name} (${bytes.length} bytes)…`);
  const asked = Number(new URLSearchParams(location.search).get('window'));
  state.windowBytes = asked > 0 ? asked : bytes.length > ALL_FIELDS_UP_TO ? WINDOW_BYTES : 0;
  // Smaller windows hold less of everything (so a test on a small database sees them move).
  state.placeBytes = Math.min(PLACE_BYTES, state.windowBytes);
  state.fieldsAfter = Math.min(WINDOW_FIELDS_AFTER, Math.max(16, state.windowBytes >> 3));
  state.fieldsBefore = Math.ceil(state.fieldsAfter * WINDOW_FIELDS_BEFORE / WINDOW_FIELDS_AFTER);
  state.view = null;
  // The worker keeps the database. The page keeps a copy for the hex pane, or, for a large
  // one, hands its bytes over and holds those of its windows only (from the worker).
  const whole = bytes.byteOffset === 0 && bytes.byteLength === bytes.buffer.byteLength;
  const copy = state.windowBytes && whole ? bytes : bytes.slice();
  if (state.windowBytes) state.bytes = { length: bytes.length };
  state.worker.postMessage({ type: 'open', database: copy.buffer, leftOut: state.leftOut, window: firstWindow() },
                           [copy.buffer]);
}

// The fields a walk of the whole database keeps: all of them, or a window around the place
// in the address (or the byte selected before a walk again).
function firstWindow() {
  if (!state.windowBytes) return null;
  const placed = parseOffset(decodeURIComponent(location.hash.slice(1)));
  const w = wanted(placed >= 0 ? placed : Math.max(0, state.byte), -1);
  return { ...w, countText: true };
}

function received(m) {
  // A walk again of the same database (the switches), or the first of a new one.
  const again = state.view !== null && !state.newFile;
  state.newFile = false;
  state.view = makeView(m);
  const v = state.view;
  // Another walk numbers its blocks anew: nothing stays open.
  state.expanded = new Set();
  buildVisible();
  showEnd();
  status(`${state.name}: ${v.blockCount} blocks, ${v.fieldCount} fields, walked in ${Math.round(v.ms)} ms`);
  // A place in the address, or the byte selected before a walk again, needs the index of
  // fields by offset: the first block stands selected until it is there.
  const placed = parseOffset(decodeURIComponent(location.hash.slice(1)));
  const place = placed >= 0 && placed < state.bytes.length ? placed : again && state.byte >= 0 ? state.byte : -1;
  selectBlock(v.blockCount > 0 ? 0 : -1, { history: 'none', byte: place >= 0 ? place : undefined, quiet: place >= 0 });
  requestAnimationFrame(() => {
    performance.mark('symdeck:tree');
    document.body.dataset.walked = String(Number(document.body.dataset.walked || 0) + 1);
  });
  const indexStarted = performance.now();
  buildPageIndex(v.fields.rec, state.bytes.length, (fieldIndex) => {
    buildPageIndex(v.reads, state.bytes.length, (readIndex) => {
      if (state.view !== v) return;
      v.fields.index = fieldIndex;
      v.readIndex = readIndex;
      v.indexMs = performance.now() - indexStarted;
      if (place >= 0) selectByte(place, 'none');
      else drawHex();
      document.body.dataset.indexed = String(Number(document.body.dataset.indexed || 0) + 1);
    });
  });
}

// ---- events -----------------------------------------------------------------------------

function wire() {
  const sections = $('sections');
  for (const [name, kind] of SECTIONS) {
    const label = document.createElement('label');
    const input = document.createElement('input');
    input.type = 'checkbox';
    input.setAttribute('role', 'switch');
    input.checked = true;
    input.setAttribute('aria-checked', 'true');
    input.dataset.kind = kind;
    input.addEventListener('change', () => {
      input.setAttribute('aria-checked', String(input.checked));
      state.leftOut = 0;
      for (const s of sections.querySelectorAll('input')) if (!s.checked) state.leftOut |= 1 << Number(s.dataset.kind);
      if (state.bytes) {
        status('Walking again…');
        state.worker.postMessage({ type: 'walk', leftOut: state.leftOut, window: firstWindow() });
      }
    });
    label.append(input, ' ' + name);
    sections.append(label);
  }

  $('picker').addEventListener('change', async (e) => {
    const file = e.target.files[0];
    if (file) open(new Uint8Array(await file.arrayBuffer()), file.name);
  });
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('drop', async (e) => {
    e.preventDefault();
    const file = e.dataTransfer.files[0];
    if (file) open(new Uint8Array(await file.arrayBuffer()), file.name);
  });

  const tree = $('tree');
  tree.addEventListener('scroll', () => drawTree());
  tree.addEventListener('click', (e) => {
    const row = e.target.closest('.row');
    if (!row) return;
    const b = Number(row.dataset.block);
    if (e.target.classList.contains('twisty')) toggle(b);
    else selectBlock(b);
    tree.focus({ preventScroll: true });
  });
  tree.addEventListener('dblclick', (e) => {
    const row = e.target.closest('.row');
    if (row) toggle(Number(row.dataset.block));
  });
  tree.addEventListener('keydown', (e) => {
    if (!state.view || state.visible.length === 0) return;
    const vis = state.visible;
    let row = rowOfBlock(state.block);
    const b = state.block;
    const go = (r) => { if (r >= 0 && r < vis.length) selectBlock(vis[r]); };
    switch (e.key) {
      case 'ArrowDown': go(row < 0 ? 0 : row + 1); break;
      case 'ArrowUp': go(row < 0 ? 0 : row - 1); break;
      case 'Home': go(0); break;
      case 'End': go(vis.length - 1); break;
      case 'ArrowRight':
        if (b >= 0 && blk(b, B.children) > 0) {
          if (!state.expanded.has(b)) toggle(b, true); else go(row + 1);
        }
        break;
      case 'ArrowLeft':
        if (b >= 0 && state.expanded.has(b)) toggle(b, false);
        else if (b >= 0 && blk(b, B.parent) !== NO_BLOCK) selectBlock(blk(b, B.parent));
        break;
      case 'Enter': case ' ': if (b >= 0) toggle(b); break;
      default: return;
    }
    e.preventDefault();
  });

  $('fields-scroll').addEventListener('scroll', () => {
    if (state.block >= 0 && blk(state.block, B.fieldEnd) - blk(state.block, B.firstField) > 300) drawFields();
  });
  // Links to places: the page follows them itself, as a new place in the history.
  document.addEventListener('click', (e) => {
    const a = e.target.closest('a[data-offset]');
    if (!a) return;
    e.preventDefault();
    selectByte(Number(a.dataset.offset), 'push');
  });
  $('fields').addEventListener('click', (e) => {
    const tr = e.target.closest('tr[data-field]');
    if (!tr || e.target.closest('a')) return;
    const i = Number(tr.dataset.field);
    selectBlock(state.block, { field: i, byte: fieldOffset(i) });
  });

  $('hex-scroll').addEventListener('scroll', () => drawHex());
  $('hex').addEventListener('click', (e) => {
    const cell = e.target.closest('[role=gridcell]');
    if (cell) selectByte(Number(cell.dataset.offset), 'push');
  });
  $('hex').addEventListener('keydown', (e) => {
    if (!state.bytes || state.byte < 0) return;
    const step = { ArrowLeft: -1, ArrowRight: 1, ArrowUp: -16, ArrowDown: 16, PageUp: -256, PageDown: 256 }[e.key];
    if (step === undefined) return;
    e.preventDefault();
    selectByte(Math.min(state.bytes.length - 1, Math.max(0, state.byte + step)), 'replace');
  });

  $('goto').addEventListener('keydown', (e) => {
    if (e.key !== 'Enter') return;
    const b = parseOffset($('goto').value);
    if (!(b >= 0) || !state.bytes || b >= state.bytes.length) {
      status(`No byte at "${$('goto').value}" in this database (0x... hexadecimal, or decimal digits)`);
      return;
    }
    selectByte(b, 'push');
  });
  let timer = 0;
  $('search').addEventListener('input', () => {
    clearTimeout(timer);
    timer = setTimeout(() => search($('search').value), 120);
  });
  window.addEventListener('popstate', () => {
    const b = parseOffset(decodeURIComponent(location.hash.slice(1)));
    if (b >= 0) selectByte(b, 'none');
  });
  window.addEventListener('resize', () => { if (state.view) draw(); });

  $('copy').addEventListener('click', () => {
    const b = state.block;
    if (b < 0) return;
    const id = ++state.textId;
    const start = blk(b, B.textStartLow) + blk(b, B.textStartHigh) * 2 ** 32;
    const end = blk(b, B.textEndLow) + blk(b, B.textEndHigh) * 2 ** 32;
    status('Cutting the block out of the text report…');
    state.waiting.set(id, (text) => {
      $('copied-text').value = text;
      const dialog = $('copied');
      if (!dialog.open) dialog.showModal();
      status(`The text report's ${text.split('\n').length - 1} lines of ${blockLabel(b)}`);
      if (navigator.clipboard && navigator.clipboard.writeText) navigator.clipboard.writeText(text).catch(() => {});
    });
    state.worker.postMessage({ type: 'text', id, start, end, leftOut: state.leftOut });
  });
}

wire();
startWorker();
const embedded = $('database');
if (embedded.textContent.trim() !== '' && !embedded.textContent.includes('@DATABASE@')) {
  // The section flags the page was written with, as its switches.
  const leftOut = Number(embedded.dataset.leftOut) || 0;
  for (const s of $('sections').querySelectorAll('input')) {
    s.checked = (leftOut & (1 << Number(s.dataset.kind))) === 0;
    s.setAttribute('aria-checked', String(s.checked));
  }
  state.leftOut = leftOut;
  open(base64Bytes(embedded.textContent), embedded.dataset.name);
} else {
  status('Open a .nms database with the button above, or drop one on the page. It is read here and never leaves this computer.');
}
// For the benchmark (bench/viewer_scale.mjs): the state, and the drawing it times.
window.symdeckViewer = { state, selectBlock, drawTree, drawFields, drawHex };
})();
