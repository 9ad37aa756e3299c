// The index of fields by the page of the file they begin in, against a pass over all of
// them: every field that touches a span is found once, small and large alike.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { PAGE_BITS, buildPageIndex, fieldAt, touching } from '../../viewer/model/page-index.mjs';
import { flatRecords } from '../../viewer/model/tables.mjs';

const PAGE = 1 << PAGE_BITS;

// Records of [offset, size], as the fields' and reads' first two words.
const records = (list) => flatRecords(new Uint32Array(list.flat()).buffer, 8);
const indexOf = (recs, size) => {
  let index = null;
  buildPageIndex(recs, size, (i) => { index = i; }, true);
  return index;
};

// A fixed pseudo-random sequence, so that a failure repeats.
function random(seed) {
  let x = seed;
  return (n) => { x = (x * 1103515245 + 12345) % 2 ** 31; return x % n; };
}

test('every record that touches a span, each once, as a pass over all finds them', () => {
  const size = 40 * PAGE;
  const next = random(7);
  const list = [];
  for (let k = 0; k < 2000; ++k) {
    const big = next(20) === 0;
    list.push([next(size), big ? next(6 * PAGE) : next(64)]);
  }
  // Edges: empty, at the file's end, spanning pages exactly, larger than the file.
  list.push([0, 0], [size - 1, 1], [PAGE - 1, 2], [PAGE, PAGE], [0, size + 100], [size, 4]);
  const recs = records(list);
  const index = indexOf(recs, size);
  const spans = [[0, 1], [PAGE - 1, PAGE + 1], [size - 1, size], [5 * PAGE + 7, 9 * PAGE], [0, size]];
  for (let k = 0; k < 40; ++k) { const a = next(size); spans.push([a, a + 1 + next(3 * PAGE)]); }
  for (const [from, to] of spans) {
    const seen = [];
    touching(index, recs, from, to, (i, o, s) => {
      assert.deepEqual([o, s], list[i]);
      seen.push(i);
    });
    const expected = list.map(([o, s], i) => (o < to && o + s > from ? i : -1)).filter((i) => i >= 0);
    assert.deepEqual(seen.sort((a, b) => a - b), expected, `[${from}, ${to})`);
  }
});

test('the field that holds a byte is the smallest of those that hold it', () => {
  const list = [[0, 0x100], [0x10, 8], [0x12, 2], [0x40, 0], [0x200, 3 * PAGE], [0x1000, 4]];
  const recs = records(list);
  const f = { rec: recs, ids: null, index: indexOf(recs, 4 * PAGE) };
  const cases = [[0, 0], [0x10, 1], [0x12, 2], [0x13, 2], [0x14, 1], [0x40, 0], [0x100, -1], [0x1000, 5], [0x1004, 4],
                 [4 * PAGE, -1]];
  for (const [byte, field] of cases) assert.equal(fieldAt(f, byte), field, `byte ${byte}`);
  // Held as a window: the walk's index of the record.
  assert.equal(fieldAt({ ...f, ids: Uint32Array.from([10, 11, 12, 13, 14, 15]) }, 0x12), 12);
  assert.equal(fieldAt({ ...f, index: null }, 0x12), -1, 'no index yet');
});

test('a large table is indexed in slices, one task each, unless asked at once', async () => {
  const n = (1 << 20) + 5;
  const recs = { count: n, word: (i, w) => (w === 0 ? (i * 16) % (64 * PAGE) : 4) };
  let index = null;
  buildPageIndex(recs, 64 * PAGE, (i) => { index = i; });
  assert.equal(index, null, 'not done within the call');
  await new Promise((done) => { const wait = () => (index ? done() : setTimeout(wait, 1)); wait(); });
  assert.equal(index.pages[index.pages.length - 1], n);
  assert.equal(index.order.length, n);
});
