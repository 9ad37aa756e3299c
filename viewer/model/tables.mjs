// The view form's tables as the page holds them: typed arrays over the frames the worker
// sent, and the reading of one record's parts. Nothing here touches the document, so node
// runs it as the page does.
import {
  BLOCK, BLOCK_BYTES, BLOCK_WORDS, BLOCK_WORD_MASK, END, END_WORDS, FIELD, FIELD_BYTES, FIELD_WORD, HEADER, KIND,
  KIND_BYTES, KIND_MASK, READ_BYTES,
} from './layout.mjs';

const utf8 = new TextDecoder('utf-8');

// A table of fixed-size records in the frames the walk sent them in: every frame but the
// last holds `per` records.
export function frameRecords(frames, bytesPer, per) {
  const u32 = frames.map((f) => new Uint32Array(f));
  const u8 = frames.map((f) => new Uint8Array(f));
  const words = bytesPer / 4;
  return {
    count: frames.reduce((n, f) => n + f.byteLength / bytesPer, 0),
    word: (i, w) => u32[(i / per) | 0][(i % per) * words + w],
    byte: (i, b) => u8[(i / per) | 0][(i % per) * bytesPer + b],
  };
}

// One table in one array: records of `bytesPer` bytes.
export function flatRecords(buffer, bytesPer) {
  const u32 = new Uint32Array(buffer);
  const words = bytesPer / 4;
  return { count: buffer.byteLength / bytesPer, word: (i, w) => u32[i * words + w] };
}

// Bytes in frames: [start, end) of all of them, a view into one frame where it can be.
export function frameBytes(frames) {
  const parts = frames.map((f) => new Uint8Array(f));
  const starts = [0];
  for (const p of parts) starts.push(starts[starts.length - 1] + p.length);
  return (start, end) => {
    if (parts.length === 0) return new Uint8Array(0);
    let lo = 0, hi = parts.length - 1;
    while (lo < hi) {
      const mid = (lo + hi + 1) >> 1;
      if (starts[mid] <= start) lo = mid; else hi = mid - 1;
    }
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
// that recorded them; each names its index in the walk, in increasing order). `window`
// says which ({bytes, fields} spans), `bytes` the database's bytes in its byte spans.
export function makeFields(fieldFrames, textFrames, per, window, bytes = []) {
  const rec = frameRecords(fieldFrames, FIELD_BYTES, per);
  const f = { rec, text: frameBytes(textFrames), count: rec.count, window, ids: null, index: null,
              bytes: bytes.map((b) => new Uint8Array(b)) };
  if (window) {
    f.ids = new Uint32Array(rec.count);
    for (let k = 0; k < rec.count; ++k) f.ids[k] = rec.word(k, FIELD_WORD.index);
  }
  return f;
}

// The interned words: per word u32 length, its bytes, zero bytes up to a multiple of 4.
export function decodeWords(buffer) {
  const bytes = new Uint8Array(buffer);
  const view = new DataView(buffer);
  const words = [];
  for (let at = 0; at + 4 <= bytes.length;) {
    const n = view.getUint32(at, true);
    words.push(utf8.decode(bytes.subarray(at + 4, at + 4 + n)));
    at += 4 + Math.ceil(n / 4) * 4;
  }
  return words;
}

// The kinds of field, their words spelled.
export function decodeKinds(buffer, words) {
  const view = new DataView(buffer);
  const kinds = [];
  for (let at = 0; at + KIND_BYTES <= buffer.byteLength; at += KIND_BYTES)
    kinds.push({ name: words[view.getUint16(at + KIND.name, true)], type: words[view.getUint16(at + KIND.type, true)],
                 role: view.getUint8(at + KIND.role), leads: view.getUint8(at + KIND.leads) });
  return kinds;
}

// How the walk ended, and where.
export function decodeEnd(buffer, words) {
  const view = new DataView(buffer);
  const e = (k) => view.getUint32(4 * k, true);
  const lineLength = view.getUint32(4 * END_WORDS, true);
  return {
    how: e(END.how), header: words[e(END.header)], offset: e(END.offsetLow) + e(END.offsetHigh) * 2 ** 32,
    number: e(END.numberLow) + e(END.numberHigh) * 2 ** 32, openBlock: e(END.openBlock), fields: e(END.fields),
    line: utf8.decode(new Uint8Array(buffer, 4 * END_WORDS + 4, lineLength)),
  };
}

// Blocks come as they close; each record names its place in the order they open (the text
// report's). They stay in their frames, found through that order (no copy of them all).
function inOpeningOrder(frames, per) {
  const records = frameRecords(frames, BLOCK_BYTES, per);
  const words = frames.map((f) => new Uint32Array(f));
  const at = new Uint32Array(records.count);
  for (let i = 0; i < records.count; ++i) at[records.word(i, BLOCK.index)] = i;
  return { count: records.count,
           word: (b, k) => { const i = at[b]; return words[(i / per) | 0][(i % per) * BLOCK_WORDS + k]; } };
}

// The page's view of one walk: the worker's 'view' message read.
export function makeView(m) {
  const per = new DataView(m.header).getUint32(4 * HEADER.frameRecords, true);
  const blocks = inOpeningOrder(m.blocks, per);
  const words = decodeWords(m.words);
  const end = decodeEnd(m.end, words);
  const v = {
    fields: makeFields(m.fields, m.text, per, m.window, m.bytes), per, blocks, blockCount: blocks.count,
    reads: flatRecords(m.reads, READ_BYTES), readIndex: null, words, kinds: decodeKinds(m.kinds, words), end,
    fieldCount: end.fields, ms: m.ms, top: [],
  };
  // The top-level blocks, in order.
  for (let b = 0; b < v.blockCount; b = blocks.word(b, BLOCK.subtreeEnd)) v.top.push(b);
  return v;
}

// ---- one field of the walk, by its index ------------------------------------------------

// Field i of the walk is record slotOf(f, i) of the fields held (-1: not held).
export function slotOf(f, i) {
  if (!f.ids) return i >= 0 && i < f.count ? i : -1;
  let lo = 0, hi = f.ids.length - 1;
  while (lo <= hi) {
    const mid = (lo + hi) >> 1;
    if (f.ids[mid] === i) return mid;
    if (f.ids[mid] < i) lo = mid + 1; else hi = mid - 1;
  }
  return -1;
}
// The walk's index of held record k.
export const idOf = (f, k) => (f.ids ? f.ids[k] : k);

// Record k's parts.
export const slotOffset = (f, k) => f.rec.word(k, FIELD_WORD.offset);
export const slotSize = (f, k) => f.rec.word(k, FIELD_WORD.size);
export const slotKind = (f, k) => f.rec.word(k, FIELD.kind / 4) & KIND_MASK;
export const slotFlags = (f, k) => f.rec.byte(k, FIELD.flags);
export const slotTarget = (f, k) => f.rec.word(k, FIELD_WORD.targetLow) + f.rec.byte(k, FIELD.targetHigh) * 2 ** 32;
// The bytes of record k's value text: from the end of the one held before to its own.
export const slotText = (f, k) => f.text(k === 0 ? 0 : f.rec.word(k - 1, FIELD_WORD.textEnd), f.rec.word(k, FIELD_WORD.textEnd));
export const slotValue = (f, k) => utf8.decode(slotText(f, k));

// The block word's parts.
export const blockWordOf = (v, b) => v.blocks.word(b, BLOCK.word) & BLOCK_WORD_MASK;

// The block whose own fields include field i: the last block opened at or before it (a
// block's fields come before its children's).
export function blockOfField(v, i) {
  let lo = 0, hi = v.blockCount - 1, found = -1;
  while (lo <= hi) {
    const mid = (lo + hi) >> 1;
    if (v.blocks.word(mid, BLOCK.firstField) <= i) { found = mid; lo = mid + 1; } else hi = mid - 1;
  }
  return found;
}

// Block b's children, in order (b = -1: the top-level blocks).
export function childrenOf(v, b, each) {
  const end = b < 0 ? v.blockCount : v.blocks.word(b, BLOCK.subtreeEnd);
  for (let c = b + 1; c < end; c = v.blocks.word(c, BLOCK.subtreeEnd)) each(c);
}
