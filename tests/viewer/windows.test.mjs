// Windows of fields: their sizes, spans joined, what a window holds, and what the page asks
// the worker for.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { WALK_END } from '../../viewer/model/layout.mjs';
import { makeFields, makeView } from '../../viewer/model/tables.mjs';
import {
  ALL_FIELDS_UP_TO, ALL_ROWS_UP_TO, WINDOW_BYTES, holdsAll, holdsBytes, holdsFields, holdsRows, mergeSpans, rowsAround,
  wantedWindow, windowSizes,
} from '../../viewer/model/windows.mjs';
import { fakeView } from './fake-view.mjs';
import { FIELDS, sampleMessage } from './sample-walk.mjs';

test('spans joined where they meet or overlap, empty ones dropped, in order', () => {
  const cases = [
    [[], []],
    [[[5, 5]], []],
    [[[0, 4], [4, 8]], [[0, 8]]],
    [[[10, 20], [0, 4], [3, 12]], [[0, 20]]],
    [[[0, 2], [3, 4], [1, 2]], [[0, 2], [3, 4]]],
    [[[7, 9], [0, 100], [50, 60]], [[0, 100]]],
  ];
  for (const [spans, joined] of cases) assert.deepEqual(mergeSpans(spans), joined, JSON.stringify(spans));
});

test('window sizes follow the database, or the address asks for them', () => {
  const cases = [
    [1000, 0, 0], [ALL_FIELDS_UP_TO, 0, 0], [ALL_FIELDS_UP_TO + 1, 0, WINDOW_BYTES], [1000, 256, 256],
    [ALL_FIELDS_UP_TO * 4, 4096, 4096],
  ];
  for (const [size, asked, windowBytes] of cases) {
    const s = windowSizes(size, asked);
    assert.equal(s.windowBytes, windowBytes, `${size} asked ${asked}`);
    assert.ok(s.placeBytes <= Math.max(windowBytes, 0) && s.fieldsBefore <= s.fieldsAfter && s.fieldsAfter >= 16);
  }
});

test('what a window holds: its fields by their index, its bytes by their spans', () => {
  // Fields 1, 2, 3 and 5 of the walk held; the bytes [0x100, 0x200) and [0x400, 0x500).
  const held = [1, 2, 3, 5];
  const m = fakeView({ fields: held.map((i) => ({ ...FIELDS[i], index: i })) });
  const f = makeFields(m.fields, m.text, 4, { bytes: [[0x100, 0x200], [0x400, 0x500]], fields: [[1, 4], [5, 6]] });
  const fieldCases = [[1, 2, true], [1, 4, true], [1, 5, false], [3, 6, false], [5, 6, true], [0, 1, false], [6, 7, false]];
  for (const [a, b, holds] of fieldCases) assert.equal(holdsFields(f, a, b), holds, `fields [${a}, ${b})`);
  const byteCases = [[0x100, 0x200, true], [0xFF, 0x100, false], [0x1FF, 0x201, false], [0x480, 0x900, true]];
  for (const [a, b, holds] of byteCases) assert.equal(holdsBytes(f, 0x480, a, b), holds, `bytes [${a}, ${b})`);
  assert.ok(holdsAll(f, { bytes: [[0x120, 0x130]], fields: [[2, 4]] }));
  assert.ok(!holdsAll(f, { bytes: [[0x120, 0x130]], fields: [[2, 5]] }));
  assert.ok(!holdsAll(f, { bytes: [[0x300, 0x301]], fields: [] }));
  // Every field held: everything is.
  const whole = makeView(sampleMessage());
  assert.ok(holdsAll(whole.fields, { bytes: [[0, 1 << 30]], fields: [[0, 1 << 30]] }));
  // A block's rows: block 2 owns fields 3 and 4, block 3 field 5.
  const v = { ...whole, fields: f };
  assert.equal(holdsRows(v, 2, 0, 1), true);
  assert.equal(holdsRows(v, 2, 0, 2), false);
  assert.equal(holdsRows(v, 3, 0, 1), true);
  assert.equal(holdsRows(v, -1, 0, 1), true);
});

test('a long table draws the rows around the one in view; a short one all of them', () => {
  const long = ALL_ROWS_UP_TO + 500;
  const v = makeView(fakeView({ blocks: [{ firstField: 10, fieldEnd: 10 + long }, { firstField: 0, fieldEnd: 7 }] }));
  const cases = [[0, 0, [0, 100]], [0, 300, [250, 400]], [0, long - 1, [long - 51, long]], [1, 5, [0, 7]]];
  for (const [b, k, rows] of cases) assert.deepEqual(rowsAround(v, b, k), rows, `block ${b} row ${k}`);
});

test('the window asked for holds what is on screen: the byte, the rows, the tree\'s blocks, the links', () => {
  const v = makeView(sampleMessage({ window: { bytes: [], fields: [] } }));
  const size = 0x10000;
  const p = { size, windowBytes: 256, placeBytes: 64, fieldsBefore: 2, fieldsAfter: 16, byte: 0x3000, block: 1, row: 0,
              hexShown: [0x2F00, 0x3100], treeShown: [0, 1, 6], tableRow: 0 };
  const w = wantedWindow(v, p);
  const inBytes = (at) => w.bytes.some(([a, b]) => at >= a && at < b);
  // The byte's window, the hex pane's rows, where the tree's blocks begin, where block 1's
  // link (field 2) leads.
  for (const at of [0x3000 - 128, 0x3000 + 127, 0x2F00, 0x30FF, 0, 0x100, 0x600, 0x400]) assert.ok(inBytes(at), `byte ${at}`);
  assert.ok(!inBytes(0x480) && !inBytes(0x3000 + 0x200));
  // Block 1's rows (its first field is 2) and the fields after them, up to the walk's last.
  assert.deepEqual(w.fields, [[0, FIELDS.length]]);
  // Further down the walk: the rows around, and the tree's blocks' rows apart.
  const later = wantedWindow({ ...v, fieldCount: 1000 }, { ...p, block: 6, row: 0, fieldsBefore: 1, fieldsAfter: 3 });
  assert.deepEqual(later.fields, [[0, 3], [5, 9]]);
  // Joined, in order, each a multiple of 16 from its start, none outside the file.
  assert.deepEqual(w.bytes, mergeSpans(w.bytes));
  for (const [a, b] of w.bytes) assert.ok(a % 16 === 0 && a >= 0 && b <= size, `[${a}, ${b})`);
  // The first walk did not stop at the size limit: a walk again need not count the text.
  assert.equal(w.countText, false);
  // Near the file's ends the span moves inside it.
  const edge = wantedWindow(v, { ...p, byte: size - 1, hexShown: null, treeShown: [] });
  assert.deepEqual(edge.bytes[edge.bytes.length - 1], [size - 256, size]);
  // A walk that stopped at the size limit is counted again.
  const limited = { ...v, end: { ...v.end, how: WALK_END.limit } };
  assert.equal(wantedWindow(limited, p).countText, true);
  // Before the first walk: the bytes around the place alone.
  assert.deepEqual(wantedWindow(null, { ...p, hexShown: null, treeShown: [] }), {
    bytes: [[0x3000 - 128, 0x3000 + 128]], fields: [[0, 16]], countText: true });
});
