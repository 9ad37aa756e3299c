// The hex pane: the database's bytes, sixteen a row, each tinted by the block of the
// innermost field that holds it (or marked as read without being shown, or as a gap), the
// selected field's bytes underlined. Only the rows in view are in the document.
import { $, scrollGeometry, scrollToRow } from '../dom.mjs';
import { blockOfField, blockWordOf, idOf, slotOf, slotOffset, slotSize } from '../model/tables.mjs';
import { touching } from '../model/page-index.mjs';
import { BYTE_HEX, byteName } from '../model/names.mjs';
import { holdsBytes, within } from '../model/windows.mjs';
import { setHexShown, state } from '../state.mjs';

const HEX_ROW = 18;
const TINTS = 8;
const hexRows = [];
let actions = null;
let windowTimer = 0;

// The database's byte at `at`: the page of a large database holds the bytes of its window's
// spans only (undefined elsewhere).
function byteAt(at) {
  if (state.bytes instanceof Uint8Array) return state.bytes[at];
  const f = state.view && state.view.fields;
  if (!f || !f.window) return undefined;
  const k = f.window.bytes.findIndex(([a, b]) => at >= a && at < b);
  return k < 0 ? undefined : f.bytes[k][at - f.window.bytes[k][0]];
}

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

// Scrolls the pane so that byte b's row is in view.
export function scrollToByte(b) {
  scrollToRow($('hex-scroll'), Math.floor(b / 16), Math.ceil(state.bytes.length / 16), HEX_ROW);
}

export function drawHex() {
  const grid = $('hex');
  const scroller = $('hex-scroll');
  if (!state.bytes) { grid.replaceChildren(); return; }
  const size = state.bytes.length;
  const rowsTotal = Math.max(1, Math.ceil(size / 16));
  const g = scrollGeometry(scroller, rowsTotal, HEX_ROW);
  const from = g.first * 16, to = Math.min(size, (g.last + 1) * 16);
  setHexShown(from, to);
  grid.style.top = g.top + 'px';
  // Who holds each byte in view: the smallest field, its block's word as the tint; the bytes
  // the walk reads without showing; the selected field's bytes.
  const n = Math.max(0, to - from);
  const owner = new Int32Array(n).fill(-1);
  const ownerSize = new Float64Array(n).fill(Infinity);
  const read = new Uint8Array(n);
  const v = state.view;
  const f = v && v.fields;
  if (f && f.index && v.readIndex) {
    touching(f.index, f.rec, from, to, (k, o, s) => {
      const i = idOf(f, k);
      for (let x = Math.max(o, from); x < Math.min(o + s, to); ++x)
        if (s < ownerSize[x - from]) { owner[x - from] = i; ownerSize[x - from] = s; }
    });
    touching(v.readIndex, v.reads, from, to, (i, o, s) => {
      for (let x = Math.max(o, from); x < Math.min(o + s, to); ++x) read[x - from] = 1;
    });
  }
  const tints = new Map();
  const tintOf = (i) => {
    if (!tints.has(i)) {
      const b = blockOfField(v, i);
      tints.set(i, b < 0 ? 0 : blockWordOf(v, b) % TINTS);
    }
    return tints.get(i);
  };
  const selected = f && state.field >= 0 ? slotOf(f, state.field) : -1;
  const selStart = selected >= 0 ? slotOffset(f, selected) : -1;
  const selEnd = selected >= 0 ? selStart + slotSize(f, selected) : -1;
  // Bytes outside the window held are drawn plain until the worker sends the fields there.
  const window = f && f.window;
  if (window && !holdsBytes(f, size, from, to)) {
    clearTimeout(windowTimer);
    windowTimer = setTimeout(() => {
      if (!holdsBytes(state.view.fields, size, from, to) && !state.windowWaiting) actions.needBytes(Math.floor((from + to) / 2));
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
      cell.dataset.offset = at;
      const byte = byteAt(at);
      cell.textContent = byte === undefined ? '··' : BYTE_HEX[byte];
      // Read aloud: the byte, then where it is ("6C at 0x64B").
      cell.setAttribute('aria-label', byteName(byte, at));
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
  actions.moved();
}

// actions: selectByte(b, history), needBytes(middle) (the bytes in view are not held),
// moved() (what is on screen changed).
export function wireHex(given) {
  actions = given;
  $('hex-scroll').addEventListener('scroll', () => drawHex());
  $('hex').addEventListener('click', (e) => {
    const cell = e.target.closest('[role=gridcell]');
    if (cell) actions.selectByte(Number(cell.dataset.offset), 'push');
  });
  $('hex').addEventListener('keydown', (e) => {
    if (!state.bytes || state.byte < 0) return;
    const step = { ArrowLeft: -1, ArrowRight: 1, ArrowUp: -16, ArrowDown: 16, PageUp: -256, PageDown: 256 }[e.key];
    if (step === undefined) return;
    e.preventDefault();
    actions.selectByte(Math.min(state.bytes.length - 1, Math.max(0, state.byte + step)), 'replace');
  });
}
