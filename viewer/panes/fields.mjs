// The field table: the selected block's own fields, one row each (offset, type, name,
// value, where it leads). A long table draws the rows in view and no more; rows whose
// fields the page does not hold yet are asked for.
import { $, element } from '../dom.mjs';
import { BLOCK, FLAG, LEAD, UNRESOLVED_MASK, UNRESOLVED_SHIFT } from '../model/layout.mjs';
import { blockLabel, blockOffset, blockPlace, hex, leadsName } from '../model/names.mjs';
import { slotFlags, slotKind, slotOf, slotOffset, slotTarget, slotValue } from '../model/tables.mjs';
import { ALL_ROWS_UP_TO, holdsRows } from '../model/windows.mjs';
import { state } from '../state.mjs';

const FIELD_ROW = 20;
let actions = null;
let rowsTimer = 0;

const blk = (b, k) => state.view.blocks.word(b, k);

// The row of the table at its top.
export const tableRow = () => Math.floor($('fields-scroll').scrollTop / FIELD_ROW);

// Scrolls the table to its top, or to a little above field i's row.
export function scrollToField(b, i) {
  const k = b >= 0 && i >= 0 ? i - blk(b, BLOCK.firstField) : 0;
  $('fields-scroll').scrollTop = Math.max(0, k * FIELD_ROW - 60);
}

export function drawFields() {
  const body = $('fields').tBodies[0];
  const b = state.block;
  if (b < 0) {
    body.replaceChildren();
    $('block-title').textContent = state.view ? 'No block' : 'No database';
    return;
  }
  const v = state.view;
  const first = blk(b, BLOCK.firstField), end = blk(b, BLOCK.fieldEnd);
  const offset = blockOffset(v, b), place = blockPlace(v, b);
  $('block-title').textContent = `${blockLabel(v, b)}${offset >= 0 ? ' at ' + hex(offset) : ''}${place ? ', ' + place : ''}: ${end - first} fields`;
  const scroller = $('fields-scroll');
  const count = end - first;
  let from = 0, to = count;
  // Long blocks (lists of thousands of rows) are drawn a window at a time.
  if (count > ALL_ROWS_UP_TO) {
    const top = Math.max(0, scroller.scrollTop - 40);
    from = Math.min(count, Math.floor(top / FIELD_ROW));
    to = Math.min(count, from + Math.ceil(scroller.clientHeight / FIELD_ROW) + 10);
  }
  if (!holdsRows(v, b, from, to)) {
    // These rows' fields are not here yet: the worker reads them.
    body.replaceChildren(spacerRow(from * FIELD_ROW), spacerRow(FIELD_ROW), spacerRow((count - from - 1) * FIELD_ROW));
    body.children[1].firstChild.textContent = 'Reading the fields…';
    body.children[1].classList.add('reading');
    clearTimeout(rowsTimer);
    rowsTimer = setTimeout(() => {
      if (state.block === b && !holdsRows(state.view, b, from, to) && !state.windowWaiting) actions.needRows(b, from);
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
  const tr = element('tr', 'spacer-row');
  tr.setAttribute('aria-hidden', 'true');
  const td = document.createElement('td');
  td.colSpan = 5;
  td.style.height = height + 'px';
  td.style.padding = '0';
  tr.append(td);
  return tr;
}

// A link to a place in the file: its text the offset, its name what is there.
function placeLink(at, name) {
  const a = element('a', '', hex(at));
  a.href = '#' + hex(at);
  a.dataset.offset = at;
  a.setAttribute('aria-label', name);
  return a;
}

function fieldRow(i) {
  const f = state.view.fields;
  const k = slotOf(f, i);
  const tr = document.createElement('tr');
  tr.style.height = FIELD_ROW + 'px';
  tr.dataset.field = i;
  const kind = state.view.kinds[slotKind(f, k)];
  const flags = slotFlags(f, k);
  if (flags & FLAG.elementStart) tr.classList.add('element-start');
  if (flags & FLAG.problem) tr.classList.add('problem');
  if (i === state.field) tr.classList.add('selected');
  const cell = (text) => { const td = element('td', '', text); tr.append(td); return td; };
  const offset = slotOffset(f, k);
  cell('').append(placeLink(offset, `${kind.name} at ${hex(offset)}`));
  cell(kind.type);
  cell(kind.name);
  cell(slotValue(f, k));
  const leads = cell('');
  if (kind.leads !== LEAD.nothing) {
    const target = slotTarget(f, k);
    if (flags & FLAG.inFile) {
      const a = placeLink(target, leadsName(kind.leads, target));
      a.setAttribute('role', 'link');
      a.title = leadsName(kind.leads, target);
      leads.append(a);
    } else if (((flags >> UNRESOLVED_SHIFT) & UNRESOLVED_MASK) === 0) {
      leads.textContent = `${hex(target)} (outside the file)`;
    }
  }
  return tr;
}

// actions: selectBlock(b, options), needRows(b, row) (the rows from `row` on are not held).
export function wireFields(given) {
  actions = given;
  $('fields-scroll').addEventListener('scroll', () => {
    if (state.block >= 0 && blk(state.block, BLOCK.fieldEnd) - blk(state.block, BLOCK.firstField) > ALL_ROWS_UP_TO) drawFields();
  });
  $('fields').addEventListener('click', (e) => {
    const tr = e.target.closest('tr[data-field]');
    if (!tr || e.target.closest('a')) return;
    const i = Number(tr.dataset.field);
    actions.selectBlock(state.block, { field: i, byte: slotOffset(state.view.fields, slotOf(state.view.fields, i)) });
  });
}
