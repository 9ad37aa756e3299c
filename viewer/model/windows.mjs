// Windows of fields: a large database's page keeps the tree whole but only the fields (and
// bytes) around what it shows, and asks the worker for those of another window as it moves.
// What a window holds, whether it holds what is to be drawn, and what to ask for next.
import { BLOCK, FLAG, LEAD, NO_PLACE, WALK_END } from './layout.mjs';
import { slotFlags, slotKind, slotOf, slotTarget } from './tables.mjs';

// A database up to this size has all its fields in the page; a larger one keeps the tree
// whole and the fields of a window of WINDOW_BYTES around what is shown (the address's
// ?window=N asks for windows of N bytes whatever the size).
export const ALL_FIELDS_UP_TO = 8 << 20;
export const WINDOW_BYTES = 256 << 10;
// And the fields of the walk around the rows the field table shows: some before, more after
// (the blocks that follow in the tree).
const WINDOW_FIELDS_BEFORE = 1024, WINDOW_FIELDS_AFTER = 7168;
// A block's field table draws every row up to this many, and the rows in view beyond.
export const ALL_ROWS_UP_TO = 300;
// The bytes held around each place on screen: where a block the tree shows begins, where a
// link leads.
const PLACE_BYTES = 2048;

// The sizes of the windows for a database of `size` bytes (`asked`: the address's
// ?window=N, 0 when none): windowBytes 0 holds every field. Smaller windows hold less of
// everything (so a test on a small database sees them move).
export function windowSizes(size, asked) {
  const windowBytes = asked > 0 ? asked : size > ALL_FIELDS_UP_TO ? WINDOW_BYTES : 0;
  const fieldsAfter = Math.min(WINDOW_FIELDS_AFTER, Math.max(16, windowBytes >> 3));
  return {
    windowBytes, placeBytes: Math.min(PLACE_BYTES, windowBytes), fieldsAfter,
    fieldsBefore: Math.ceil(fieldsAfter * WINDOW_FIELDS_BEFORE / WINDOW_FIELDS_AFTER),
  };
}

// Spans [from, to) in increasing order, joined where they meet or overlap; empty ones go.
export function mergeSpans(spans) {
  const out = [];
  for (const [a, b] of spans.filter(([a, b]) => a < b).sort((x, y) => x[0] - y[0])) {
    const last = out[out.length - 1];
    if (last && a <= last[1]) last[1] = Math.max(last[1], b); else out.push([a, b]);
  }
  return out;
}
export const within = (spans, from, to) => spans.some(([a, b]) => from >= a && to <= b);

// Whether fields [a, b) of the walk are all held: the first and the last are, with as many
// records between them (ids increase).
export function holdsFields(f, a, b) {
  const k0 = slotOf(f, a), k1 = slotOf(f, b - 1);
  return k0 >= 0 && k1 >= 0 && k1 - k0 === b - 1 - a;
}
// Whether the fields held include rows [from, to) of block b's table.
export function holdsRows(v, b, from, to) {
  if (!v.fields.window || b < 0 || from >= to) return true;
  const first = v.blocks.word(b, BLOCK.firstField);
  return holdsFields(v.fields, first + from, first + to);
}
// Whether the bytes [from, to) of a database of `size` bytes are held.
export function holdsBytes(f, size, from, to) {
  return !f.window || within(f.window.bytes, from, Math.min(to, size));
}
// Whether every byte and field of every span of window `w` is held.
export function holdsAll(f, w) {
  if (!f.window) return true;
  if (!w.bytes.every(([a, b]) => within(f.window.bytes, a, b))) return false;
  return w.fields.every(([a, b]) => holdsFields(f, a, b));
}

// The rows of block b's table drawn when row k is to be in view.
export function rowsAround(v, b, k) {
  const count = v.blocks.word(b, BLOCK.fieldEnd) - v.blocks.word(b, BLOCK.firstField);
  if (count <= ALL_ROWS_UP_TO) return [0, count];
  return [Math.max(0, k - 50), Math.min(count, k + 100)];
}

// What the page wants held: the bytes around `byte` (where the hex pane is) and the bytes
// the hex pane shows (`hexShown`, when it is there), the rows of block `block`'s table around
// row `row` and the fields after them (the blocks that follow in the tree), and what else is
// on screen: the first rows of the blocks the tree shows (`treeShown`), the places they
// begin and the places the selected block's links lead to (its rows from `tableRow` on).
// So a click on what is in view finds its fields here once this window has come.
//   p: { size, windowBytes, placeBytes, fieldsBefore, fieldsAfter, byte, block, row,
//        hexShown, treeShown, tableRow }; v: the view, or null before the first walk.
export function wantedWindow(v, p) {
  const { size } = p;
  const total = v ? v.fieldCount : p.fieldsAfter;
  const bytes = [], fields = [];
  // [at - half, at + half), moved inside the file, from a multiple of 16 on.
  const around = (at, half) => {
    const low = Math.max(0, Math.min(Math.floor(at - half), size - 2 * half));
    const from = low - (low % 16);
    bytes.push([from, Math.min(size, Math.max(from + 2 * half, Math.ceil(at + half)))]);
  };
  if (p.byte >= 0) around(p.byte, p.windowBytes / 2);
  if (p.hexShown) bytes.push(p.hexShown.slice());
  const word = (b, k) => v.blocks.word(b, k);
  const at = v && p.block >= 0 ? word(p.block, BLOCK.firstField) + p.row : 0;
  fields.push([Math.max(0, at - p.fieldsBefore), Math.min(total, at + p.fieldsAfter)]);
  if (v) {
    for (const b of p.treeShown) {
      const first = word(b, BLOCK.firstField);
      fields.push([first, first + rowsAround(v, b, 0)[1]]);
      const offset = word(b, BLOCK.offset);
      if (offset !== NO_PLACE && offset < size) around(offset, p.placeBytes / 2);
    }
    const s = p.block, f = v.fields;
    if (s >= 0 && f.window) {
      const first = word(s, BLOCK.firstField);
      const [from, to] = rowsAround(v, s, p.tableRow);
      for (let i = first + from; i < first + to; ++i) {
        const k = slotOf(f, i);
        if (k < 0 || v.kinds[slotKind(f, k)].leads === LEAD.nothing) continue;
        if (slotFlags(f, k) & FLAG.inFile) around(slotTarget(f, k), p.placeBytes / 2);
      }
    }
  }
  return { bytes: mergeSpans(bytes), fields: mergeSpans(fields), countText: !v || v.end.how === WALK_END.limit };
}
