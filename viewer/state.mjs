// The page's state, every field of it declared here. The panes read it; it is written
// through the functions below.
import { windowSizes } from './model/windows.mjs';

export const state = {
  // The database open: its bytes (for a large one, { length } alone: its bytes come with
  // the windows), its name, and the section kinds the switches leave out (bit k, kind k).
  bytes: null, name: '', leftOut: 0,
  // The walk's view (model/tables.mjs makeView), null until the first walk has come.
  view: null,
  // The tree: the blocks open, and the blocks it lists in order (the open ones' children).
  expanded: new Set(), visible: new Uint32Array(0),
  // What is selected: a block, one of the walk's fields, a byte (-1: none).
  block: -1, field: -1, byte: -1,
  // The window sizes (model/windows.mjs windowSizes): windowBytes 0 holds every field.
  windowBytes: 0, placeBytes: 0, fieldsBefore: 0, fieldsAfter: 0,
  // The window of fields asked for and not yet here ({ asked: its time }), or null.
  windowWaiting: null,
  // Milliseconds each window took, worker and back (bench/viewer_scale.mjs reads them).
  windowTimes: [],
  // The bytes the hex pane shows, [from, to), and the one in its middle.
  hexView: null, hexMiddle: 0,
};

// A new database: its bytes, its name and the sizes of its windows.
export function setDatabase(bytes, name, askedWindow) {
  Object.assign(state, windowSizes(bytes.length, askedWindow));
  state.bytes = state.windowBytes ? { length: bytes.length } : bytes;
  state.name = name;
  state.view = null;
}

// A walk's view: nothing of the tree stays open (another walk numbers its blocks anew).
export function setView(view) {
  state.view = view;
  state.expanded = new Set();
}

// The view's fields and reads indexed by offset (model/page-index.mjs), once built.
export function setIndexes(view, fieldIndex, readIndex) {
  view.fields.index = fieldIndex;
  view.readIndex = readIndex;
}

export function setLeftOut(leftOut) { state.leftOut = leftOut; }

// Fields of a window come: they take the place of those held before.
export function setFields(fields) { state.view.fields = fields; }

export function setSelection(block, field, byte) {
  state.block = block;
  state.field = field;
  state.byte = byte;
}

// Opens or closes tree item b; the tree makes its list of visible blocks again.
export function setExpanded(b, open) {
  if (open) state.expanded.add(b); else state.expanded.delete(b);
}
export function setVisible(visible) { state.visible = visible; }

export function setHexShown(from, to) {
  state.hexView = [from, to];
  state.hexMiddle = Math.floor((from + to) / 2);
}

// A window asked for (now); come (its time kept); or dropped, as the page went elsewhere.
export function windowAsked() { state.windowWaiting = { asked: performance.now() }; }
export function windowCame() {
  if (state.windowWaiting) state.windowTimes.push(performance.now() - state.windowWaiting.asked);
  state.windowWaiting = null;
}
export function windowDropped() { state.windowWaiting = null; }
