// Fields (and reads) by the 4 KiB page of the file they begin in, so that the page finds
// the fields that hold a byte without a pass over all of them.
import { FIELD_WORD } from './layout.mjs';
import { idOf } from './tables.mjs';

export const PAGE_BITS = 12;
const OFFSET = FIELD_WORD.offset, SIZE = FIELD_WORD.size;  // a read record begins alike

// pages[p]..pages[p+1] index `order`; records larger than a page are listed apart in `big`.
// Built in slices of a million records, each a task of its own unless `atOnce`, so that the
// page answers meanwhile; `done` gets it.
export function buildPageIndex(records, imageSize, done, atOnce = false) {
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
        if (records.word(i, SIZE) > (1 << PAGE_BITS)) big.push(i);
        ++pages[Math.min(records.word(i, OFFSET) >>> PAGE_BITS, pageCount - 1) + 1];
      }
      if (i === count) {
        for (let p = 0; p < pageCount; ++p) pages[p + 1] += pages[p];
        fill = pages.slice(0, pageCount);
        pass = 1;
        i = 0;
      }
    } else {
      for (; i < stop; ++i) order[fill[Math.min(records.word(i, OFFSET) >>> PAGE_BITS, pageCount - 1)]++] = i;
      if (i === count) { done({ pages, order, big: Uint32Array.from(big) }); return; }
    }
    if (atOnce) slice(); else setTimeout(slice, 0);
  };
  slice();
}

// Every record that touches bytes [from, to), through the index: each once, as
// each(record, offset, size).
export function touching(index, records, from, to, each) {
  const last = Math.min((to - 1) >>> PAGE_BITS, index.pages.length - 2);
  const first = Math.max(0, (Math.max(0, from - (1 << PAGE_BITS)) >>> PAGE_BITS));
  for (let p = first; p <= last; ++p)
    for (let k = index.pages[p]; k < index.pages[p + 1]; ++k) {
      const i = index.order[k];
      const o = records.word(i, OFFSET);
      const size = records.word(i, SIZE);
      if (o < to && o + size > from) each(i, o, size);
    }
  for (const i of index.big) {
    const o = records.word(i, OFFSET);
    const p = o >>> PAGE_BITS;
    if (p >= first && p <= last) continue;  // seen among its page's
    const size = records.word(i, SIZE);
    if (o < to && o + size > from) each(i, o, size);
  }
}

// The innermost field of those held that holds byte `b` (the smallest), by its index in the
// walk, or -1 (also while the index is being built).
export function fieldAt(f, b) {
  if (!f.index) return -1;
  let best = -1, bestSize = Infinity;
  touching(f.index, f.rec, b, b + 1, (k, o, size) => {
    if (size > 0 && size < bestSize) { best = idOf(f, k); bestSize = size; }
  });
  return best;
}
