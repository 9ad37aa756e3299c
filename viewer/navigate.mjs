// Moving about the database: selecting a block, a field or a byte, the place in the
// address, and (for a large database) asking the worker for the fields of what is to be
// shown before it is drawn. The panes call these through the actions they are given.
import { $ } from './dom.mjs';
import { BLOCK, NO_BLOCK, WALK_END } from './model/layout.mjs';
import { blockOfField, makeFields } from './model/tables.mjs';
import { buildPageIndex, fieldAt } from './model/page-index.mjs';
import { blockOffset, hex } from './model/names.mjs';
import { holdsAll, holdsBytes, holdsRows, rowsAround, wantedWindow } from './model/windows.mjs';
import { drawFields, scrollToField, tableRow } from './panes/fields.mjs';
import { drawHex, scrollToByte } from './panes/hex.mjs';
import { clearHolders, showHolders } from './panes/holders.mjs';
import { drawTree, revealBlock, shownBlocks } from './panes/tree.mjs';
import { setFields, setSelection, state, windowAsked, windowCame, windowDropped } from './state.mjs';

// Milliseconds the page rests before it fetches the fields of what it shows.
const PREFETCH_AFTER = 250;
let client = null;
let prefetchTimer = 0;

export function connect(workerClient) { client = workerClient; }

export function status(text) { $('status').textContent = text; }

export function draw() {
  drawTree();
  drawFields();
  drawHex();
}

// The window of fields the page wants around `byte`, block b's row `row` and what else is
// on screen (model/windows.mjs).
export function wanted(byte, b, row = 0) {
  return wantedWindow(state.view, {
    size: state.bytes.length, windowBytes: state.windowBytes, placeBytes: state.placeBytes,
    fieldsBefore: state.fieldsBefore, fieldsAfter: state.fieldsAfter, byte, block: b, row,
    hexShown: state.hexView && byte === state.hexMiddle ? state.hexView : null,
    treeShown: state.view ? shownBlocks() : [], tableRow: tableRow(),
  });
}

// Asks the worker for the fields of `window`; `then` runs when they are here (unless another
// request came after this one).
function requestWindow(window, then) {
  windowAsked();
  status('Reading the fields there…');
  client.ask('fields', { type: 'fields', leftOut: state.leftOut, window }).then((m) => {
    windowCame();
    const v = state.view;
    if (!v) return;
    const f = makeFields(m.fields, m.text, v.per, m.window, m.bytes);
    buildPageIndex(f.rec, state.bytes.length, (index) => { f.index = index; }, true);
    setFields(f);
    status(`${state.name}: ${v.blockCount} blocks, ${v.fieldCount} fields; ${f.count} of them held`);
    then();
  });
}

// After the page has moved, the fields of what is now on screen, fetched ahead of a click.
export function prefetch() {
  clearTimeout(prefetchTimer);
  if (!state.view || !state.view.fields.window) return;
  prefetchTimer = setTimeout(() => {
    if (state.windowWaiting) return;
    const w = wanted(state.hexMiddle, state.block, tableRow());
    if (!holdsAll(state.view.fields, w)) requestWindow(w, () => { drawFields(); drawHex(); });
  }, PREFETCH_AFTER);
}

// The fields of block b's rows from `row` on, which the field table lacks.
export function needRows(b, row) { requestWindow(wanted(state.hexMiddle, b, row), () => drawFields()); }
// The fields of the bytes around `middle`, which the hex pane shows.
export function needBytes(middle) { requestWindow(wanted(middle, state.block, tableRow()), () => drawHex()); }

// Selects block b (-1: none), and in it field `field` and byte `byte` (by default where
// the block begins). history: 'push', 'replace' or 'none' (the address's place); quiet:
// the holders are not asked for.
export function selectBlock(b, options = {}) {
  const { field = -1, byte, history = 'replace', quiet = false } = options;
  const v = state.view;
  // A block whose fields the page does not hold: they are read first.
  const place = byte !== undefined ? byte : b >= 0 ? blockOffset(v, b) : -1;
  const margin = state.windowBytes ? Math.min(256, state.windowBytes >> 2) : 0;
  const row = b >= 0 && field >= 0 ? field - v.blocks.word(b, BLOCK.firstField) : 0;
  const [rowFrom, rowTo] = b >= 0 ? rowsAround(v, b, row) : [0, 0];
  const held = holdsRows(v, b, rowFrom, rowTo) &&
               (place < 0 || holdsBytes(v.fields, state.bytes.length, Math.max(0, place - margin), place + margin));
  // Asked once: what the worker sends is drawn (a field table still short of rows asks again).
  if (!held && !options.asked) {
    requestWindow(wanted(place, b, rowFrom), () => selectBlock(b, { ...options, asked: true }));
    return;
  }
  // Where the page goes now, the window asked for a place before is of no use: its answer
  // must not take the page back there.
  if (state.windowWaiting) {
    client.cancel('fields');
    windowDropped();
  }
  setSelection(b, field, place);
  $('copy').disabled = b < 0;
  if (b >= 0) revealBlock(b);
  scrollToField(b, field);
  // Every pane scrolled first, then each drawn once: a layout between two drawings would
  // cost more than the drawings.
  if (state.byte >= 0) scrollToByte(state.byte);
  draw();
  if (state.byte >= 0) {
    setPlace(state.byte, history);
    if (!quiet) explainByte(state.byte);
  }
}

// Selects the innermost field that holds byte `b`, its block in the tree.
export function selectByte(b, history = 'push') {
  const v = state.view;
  if (!v || !(b >= 0)) return;
  if (b < state.bytes.length && !holdsBytes(v.fields, state.bytes.length, b, b + 1)) {
    requestWindow(wanted(b, state.block, tableRow()), () => {
      if (holdsBytes(state.view.fields, state.bytes.length, b, b + 1)) selectByte(b, history);
    });
    return;
  }
  if (!v.fields.index) { status('Indexing the fields by offset…'); return; }
  const i = b < state.bytes.length ? fieldAt(v.fields, b) : -1;
  let block = i >= 0 ? blockOfField(v, i) : -1;
  // Where the walk stopped, no field holds the byte: the block open there is the place.
  const end = v.end;
  if (block < 0 && end.how !== WALK_END.complete && b === end.offset && end.openBlock !== NO_BLOCK) block = end.openBlock;
  selectBlock(block, { field: i, byte: b, history });
}

function setPlace(b, history) {
  const hash = '#' + hex(b);
  if (location.hash === hash) return;
  if (history === 'push') window.history.pushState(null, '', hash);
  else if (history === 'replace') window.history.replaceState(null, '', hash);
}

// The holders of byte b, from the worker.
function explainByte(b) {
  clearHolders();
  client.ask('explain', { type: 'explain', offset: b, leftOut: state.leftOut }).then((m) => showHolders(m.text));
}
