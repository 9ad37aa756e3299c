// A view form's tables made here, as the worker hands them to the page: records in frames
// of `per`, blocks in the order they close. The tests build small walks with it.
import {
  BLOCK, BLOCK_WORDS, DEPTH_SHIFT, END, END_WORDS, FIELD, FIELD_BYTES, HEADER, KIND, KIND_BYTES, MARK_SHIFT, NO_BLOCK,
  NO_PLACE, READ_BYTES,
} from '../../viewer/model/layout.mjs';

// Records of `bytes` each into frames of `per` records.
function frames(records, bytes, per, write) {
  const out = [];
  for (let i = 0; i < records.length; i += per) {
    const chunk = records.slice(i, i + per);
    const buffer = new ArrayBuffer(chunk.length * bytes);
    chunk.forEach((r, k) => write(new DataView(buffer, k * bytes, bytes), r, i + k));
    out.push(buffer);
  }
  return out;
}

export function encodeWords(words) {
  const parts = words.map((w) => Buffer.from(w, 'utf8'));
  const buffer = new ArrayBuffer(parts.reduce((n, p) => n + 4 + Math.ceil(p.length / 4) * 4, 0));
  const view = new DataView(buffer);
  let at = 0;
  for (const p of parts) {
    view.setUint32(at, p.length, true);
    new Uint8Array(buffer, at + 4, p.length).set(p);
    at += 4 + Math.ceil(p.length / 4) * 4;
  }
  return buffer;
}

// blocks: { parent, offset, word, depth, mark, number, firstField, fieldEnd, position, count }
// in opening order (subtreeEnd and children are counted here); fields: { offset, size,
// target, kind, flags, text, index }; kinds: { name, type, role, leads } by word.
export function fakeView({ blocks = [], fields = [], words = [], kinds = [], reads = [], per = 4, end = {},
                           window = null, bytes = [] }) {
  const subtreeEnd = blocks.map((_, b) => {
    let e = b + 1;
    while (e < blocks.length && isBelow(blocks, e, b)) ++e;
    return e;
  });
  const children = blocks.map((_, b) => blocks.filter((c) => c.parent === b).length);
  // They close children first: the reverse of opening order is one such order.
  const closing = blocks.map((_, b) => b).reverse();
  const m = {
    header: (() => { const h = new Uint32Array(4); h[HEADER.frameRecords] = per; return h.buffer; })(),
    blocks: frames(closing, 4 * BLOCK_WORDS, per, (d, b) => {
      const x = blocks[b];
      const w = [];
      w[BLOCK.index] = b; w[BLOCK.parent] = x.parent ?? NO_BLOCK; w[BLOCK.offset] = x.offset ?? NO_PLACE;
      w[BLOCK.size] = x.size ?? 0; w[BLOCK.firstField] = x.firstField ?? 0; w[BLOCK.fieldEnd] = x.fieldEnd ?? 0;
      w[BLOCK.subtreeEnd] = subtreeEnd[b]; w[BLOCK.position] = x.position ?? 0; w[BLOCK.count] = x.count ?? 1;
      w[BLOCK.word] = (x.word ?? 0) | ((x.depth ?? 0) << DEPTH_SHIFT) | ((x.mark ?? 0) << MARK_SHIFT);
      w[BLOCK.number] = x.number ?? 0; w[BLOCK.children] = children[b];
      for (let k = 0; k < BLOCK_WORDS; ++k) d.setUint32(4 * k, (w[k] ?? 0) >>> 0, true);
    }),
    fields: [], text: [],
    reads: frames(reads, READ_BYTES, reads.length || 1, (d, [o, s]) => { d.setUint32(0, o, true); d.setUint32(4, s, true); })[0] ?? new ArrayBuffer(0),
    words: encodeWords(words),
    kinds: frames(kinds, KIND_BYTES, kinds.length || 1, (d, k) => {
      d.setUint16(KIND.name, k.name, true); d.setUint16(KIND.type, k.type, true);
      d.setUint8(KIND.role, k.role); d.setUint8(KIND.leads, k.leads);
    })[0] ?? new ArrayBuffer(0),
    window, bytes, ms: 1,
  };
  let textEnd = 0;
  const texts = [];
  m.fields = frames(fields, FIELD_BYTES, per, (d, f, i) => {
    const t = Buffer.from(f.text ?? '', 'utf8');
    texts.push(t);
    textEnd += t.length;
    const target = f.target ?? 0;
    d.setUint32(FIELD.offset, f.offset, true); d.setUint32(FIELD.size, f.size, true);
    d.setUint32(FIELD.targetLow, target % 2 ** 32, true); d.setUint32(FIELD.textEnd, textEnd, true);
    d.setUint16(FIELD.kind, f.kind ?? 0, true); d.setUint8(FIELD.flags, f.flags ?? 0);
    d.setUint8(FIELD.targetHigh, Math.floor(target / 2 ** 32)); d.setUint32(FIELD.index, f.index ?? i, true);
  });
  // The text in frames of three bytes, so that values cross them.
  const text = Buffer.concat(texts);
  for (let at = 0; at < text.length; at += 3) m.text.push(new Uint8Array(text.subarray(at, at + 3)).buffer);
  const line = Buffer.from(end.line ?? '', 'utf8');
  const e = new ArrayBuffer(4 * END_WORDS + 4 + Math.ceil(line.length / 4) * 4);
  const ev = new DataView(e);
  ev.setUint32(4 * END.how, end.how ?? 0, true);
  ev.setUint32(4 * END.header, end.header ?? 0, true);
  ev.setUint32(4 * END.offsetLow, (end.offset ?? 0) % 2 ** 32, true);
  ev.setUint32(4 * END.offsetHigh, Math.floor((end.offset ?? 0) / 2 ** 32), true);
  ev.setUint32(4 * END.openBlock, end.openBlock ?? NO_BLOCK, true);
  ev.setUint32(4 * END.fields, end.fields ?? fields.length, true);
  ev.setUint32(4 * END_WORDS, line.length, true);
  new Uint8Array(e, 4 * END_WORDS + 4).set(line);
  m.end = e;
  return m;
}

function isBelow(blocks, c, b) {
  for (let p = blocks[c].parent; p !== undefined && p !== NO_BLOCK; p = blocks[p].parent) if (p === b) return true;
  return false;
}
