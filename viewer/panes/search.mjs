// Search: names (the texts that name-index and text fields hold) and block titles that
// contain the query, case aside. Among the fields the page holds it searches itself, in
// slices so that typing stays quick; a page that holds windows asks the worker, which walks
// for the matches.
import { $, element } from '../dom.mjs';
import { BLOCK_WORD_MASK, BLOCK, ROLE, WALK_END } from '../model/layout.mjs';
import { blockLabel, blockOffset, contains, hex } from '../model/names.mjs';
import { blockOfField, makeFields, slotKind, slotOffset, slotText, slotValue } from '../model/tables.mjs';
import { state } from '../state.mjs';

const MAX_RESULTS = 200;
let run = 0;
let actions = null;

// The kinds of field whose values are names.
const isName = (kind) => kind.role === ROLE.nameIndex || kind.role === ROLE.text;

export function search(query) {
  const thisRun = ++run;
  $('results').replaceChildren();
  const q = query.trim().toLowerCase();
  if (!q || !state.view) return;
  const v = state.view;
  const results = [];
  const wordHits = new Set();
  v.words.forEach((w, k) => { if (w.toLowerCase().includes(q)) wordHits.add(k); });
  for (let b = 0; b < v.blockCount && results.length < MAX_RESULTS; ++b)
    if (wordHits.has(v.blocks.word(b, BLOCK.word) & BLOCK_WORD_MASK)) results.push({ block: b });
  const found = (i, f, k) => ({ field: i, name: v.kinds[slotKind(f, k)].name, value: slotValue(f, k), offset: slotOffset(f, k) });
  if (v.fields.window) {
    // The names are not all here: the worker walks for them.
    showResults(results);
    if (results.length >= MAX_RESULTS) return;
    actions.status(`Searching ${state.name} for "${q}"…`);
    actions.ask({ type: 'search', leftOut: state.leftOut, query: q, most: MAX_RESULTS - results.length,
                  countText: v.end.how === WALK_END.limit }).then((m) => {
      if (thisRun !== run || state.view !== v) return;
      const f = makeFields(m.fields, m.text, v.per, {});
      for (let k = 0; k < f.count && results.length < MAX_RESULTS; ++k) results.push(found(f.ids[k], f, k));
      actions.status(`${results.length} found`);
      showResults(results);
    });
    return;
  }
  const nameKinds = new Set();
  v.kinds.forEach((k, id) => { if (isName(k)) nameKinds.add(id); });
  const needle = new TextEncoder().encode(q);
  const f = v.fields;
  let i = 0;
  const slice = () => {
    if (thisRun !== run) return;
    const stop = performance.now() + 12;
    for (; i < f.count && results.length < MAX_RESULTS; ++i) {
      if (!nameKinds.has(slotKind(f, i))) continue;
      if (contains(slotText(f, i), needle)) results.push(found(i, f, i));
      if ((i & 1023) === 0 && performance.now() > stop) { showResults(results); setTimeout(slice, 0); return; }
    }
    showResults(results);
  };
  slice();
}

// A result: a block by its title, or a field by its name and value, with where it is. Its
// text is what a sighted user reads; its name says the same in words.
function showResults(results) {
  const v = state.view;
  $('results').replaceChildren(...results.map((r) => {
    const button = element('button');
    button.type = 'button';
    if (r.block !== undefined) {
      const o = blockOffset(v, r.block);
      button.textContent = `${blockLabel(v, r.block)}${o >= 0 ? ' ' + hex(o) : ''}`;
      button.setAttribute('aria-label', `${blockLabel(v, r.block)}${o >= 0 ? ' at ' + hex(o) : ''}`);
      button.addEventListener('click', () => actions.selectBlock(r.block, { history: 'push' }));
    } else {
      const b = blockOfField(v, r.field);
      button.textContent = `${r.name} ${r.value} in ${blockLabel(v, b)} ${hex(r.offset)}`;
      button.setAttribute('aria-label', `${r.name} ${r.value} in ${blockLabel(v, b)} at ${hex(r.offset)}`);
      button.addEventListener('click', () => actions.selectBlock(b, { field: r.field, byte: r.offset, history: 'push' }));
    }
    const li = element('li');
    li.append(button);
    return li;
  }));
}

// actions: selectBlock(b, options), status(text), ask(message) (the worker's search: a
// promise of its answer).
export function wireSearch(given) {
  actions = given;
  let timer = 0;
  $('search').addEventListener('input', () => {
    clearTimeout(timer);
    timer = setTimeout(() => search($('search').value), 120);
  });
}
