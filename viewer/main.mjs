// The viewer's page: draws what the walk reports. The worker (worker.mjs) runs the walk in
// symdeck-core.wasm and hands over its view form as tables; nothing here decodes the
// database's structures. Only what is visible is in the document: the tree, the field table
// and the hex pane draw the rows in view and no more.
//
// The page's parts: model/ (the view's tables, the page index, windows, names; no
// document), state.mjs (every field of the page's state), worker-client.mjs (requests
// answered by id), panes/ (one module a pane), navigate.mjs (selection and places), and
// this module, which opens databases and wires the page's controls.
import { $ } from './dom.mjs';
import { BLOCK, SECTIONS } from './model/layout.mjs';
import { blockLabel, parseOffset } from './model/names.mjs';
import { makeView } from './model/tables.mjs';
import { buildPageIndex } from './model/page-index.mjs';
import { showEnd } from './panes/alert.mjs';
import { drawFields, wireFields } from './panes/fields.mjs';
import { drawHex, wireHex } from './panes/hex.mjs';
import { wireSearch } from './panes/search.mjs';
import { buildVisible, drawTree, wireTree } from './panes/tree.mjs';
import { connect, draw, needBytes, needRows, prefetch, selectBlock, selectByte, status, wanted } from './navigate.mjs';
import { setDatabase, setIndexes, setLeftOut, setView, state, windowDropped } from './state.mjs';
import { makeWorkerClient } from './worker-client.mjs';

function base64Bytes(text) {
  const clean = text.replace(/\s+/g, '');
  if (Uint8Array.fromBase64) return Uint8Array.fromBase64(clean);
  const binary = atob(clean);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

function startWorker() {
  const source = $('worker-source').textContent;
  const url = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
  const worker = new Worker(url);
  URL.revokeObjectURL(url);
  // A failed request has no answer: a window that failed is no longer waited for (the page
  // asks again for what it lacks).
  const client = makeWorkerClient(worker, (message) => {
    status(`The walk could not run: ${message}`);
    if (state.windowWaiting && !client.waiting('fields')) windowDropped();
  });
  const wasm = base64Bytes($('core-wasm').textContent);
  client.send({ type: 'init', wasm: wasm.buffer }, [wasm.buffer]);
  return client;
}

const client = startWorker();
connect(client);

// The place in the address, or -1.
const addressPlace = () => parseOffset(decodeURIComponent(location.hash.slice(1)));

async function open(bytes, name) {
  await client.ready;
  const asked = Number(new URLSearchParams(location.search).get('window'));
  setDatabase(bytes, name, asked > 0 ? asked : 0);
  $('name').textContent = name;
  status(`Walking ${name} (${bytes.length} bytes)…`);
  // The worker keeps the database. The page keeps a copy for the hex pane, or, for a large
  // one, hands its bytes over and holds those of its windows only (from the worker).
  const whole = bytes.byteOffset === 0 && bytes.byteLength === bytes.buffer.byteLength;
  const copy = state.windowBytes && whole ? bytes : bytes.slice();
  client.ask('walk', { type: 'open', database: copy.buffer, leftOut: state.leftOut, window: firstWindow() }, [copy.buffer])
    .then((m) => received(m, false));
}

// The fields a walk of the whole database keeps: all of them, or a window around the place
// in the address (or the byte selected before a walk again).
function firstWindow() {
  if (!state.windowBytes) return null;
  const placed = addressPlace();
  return { ...wanted(placed >= 0 ? placed : Math.max(0, state.byte), -1), countText: true };
}

// A walk's view: of a new database, or `again` of the same one (the switches).
function received(m, again) {
  setView(makeView(m));
  const v = state.view;
  buildVisible();
  showEnd(v, state.bytes.length);
  status(`${state.name}: ${v.blockCount} blocks, ${v.fieldCount} fields, walked in ${Math.round(v.ms)} ms`);
  // A place in the address, or the byte selected before a walk again, needs the index of
  // fields by offset: the first block stands selected until it is there.
  const placed = addressPlace();
  const place = placed >= 0 && placed < state.bytes.length ? placed : again && state.byte >= 0 ? state.byte : -1;
  selectBlock(v.blockCount > 0 ? 0 : -1, { history: 'none', byte: place >= 0 ? place : undefined, quiet: place >= 0 });
  requestAnimationFrame(() => {
    performance.mark('symdeck:tree');
    document.body.dataset.walked = String(Number(document.body.dataset.walked || 0) + 1);
  });
  buildPageIndex(v.fields.rec, state.bytes.length, (fieldIndex) => {
    buildPageIndex(v.reads, state.bytes.length, (readIndex) => {
      if (state.view !== v) return;
      setIndexes(v, fieldIndex, readIndex);
      if (place >= 0) selectByte(place, 'none');
      else drawHex();
      document.body.dataset.indexed = String(Number(document.body.dataset.indexed || 0) + 1);
    });
  });
}

// The section switches: each walks the database again without (or with) its kind.
function wireSections() {
  const sections = $('sections');
  for (const [name, kind] of SECTIONS) {
    const label = document.createElement('label');
    const input = document.createElement('input');
    input.type = 'checkbox';
    input.setAttribute('role', 'switch');
    input.checked = true;
    input.setAttribute('aria-checked', 'true');
    input.dataset.kind = kind;
    input.addEventListener('change', () => {
      input.setAttribute('aria-checked', String(input.checked));
      let leftOut = 0;
      for (const s of sections.querySelectorAll('input')) if (!s.checked) leftOut |= 1 << Number(s.dataset.kind);
      setLeftOut(leftOut);
      if (state.bytes) {
        status('Walking again…');
        client.ask('walk', { type: 'walk', leftOut, window: firstWindow() }).then((m) => received(m, true));
      }
    });
    label.append(input, ' ' + name);
    sections.append(label);
  }
}

function wire() {
  wireSections();
  const actions = { selectBlock, selectByte, moved: prefetch, needRows, needBytes, status,
                    ask: (message) => client.ask('search', message) };
  wireTree(actions);
  wireFields(actions);
  wireHex(actions);
  wireSearch(actions);

  $('picker').addEventListener('change', async (e) => {
    const file = e.target.files[0];
    if (file) open(new Uint8Array(await file.arrayBuffer()), file.name);
  });
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('drop', async (e) => {
    e.preventDefault();
    const file = e.dataTransfer.files[0];
    if (file) open(new Uint8Array(await file.arrayBuffer()), file.name);
  });
  // Links to places: the page follows them itself, as a new place in the history.
  document.addEventListener('click', (e) => {
    const a = e.target.closest('a[data-offset]');
    if (!a) return;
    e.preventDefault();
    selectByte(Number(a.dataset.offset), 'push');
  });
  $('goto').addEventListener('keydown', (e) => {
    if (e.key !== 'Enter') return;
    const b = parseOffset($('goto').value);
    if (!(b >= 0) || !state.bytes || b >= state.bytes.length) {
      status(`No byte at "${$('goto').value}" in this database (0x... hexadecimal, or decimal digits)`);
      return;
    }
    selectByte(b, 'push');
  });
  window.addEventListener('popstate', () => {
    const b = addressPlace();
    if (b >= 0) selectByte(b, 'none');
  });
  window.addEventListener('resize', () => { if (state.view) draw(); });

  // Copy as text: the selected block's lines of the text report, cut out by the worker.
  $('copy').addEventListener('click', () => {
    const b = state.block;
    if (b < 0) return;
    const word = (k) => state.view.blocks.word(b, k);
    const start = word(BLOCK.textStartLow) + word(BLOCK.textStartHigh) * 2 ** 32;
    const end = word(BLOCK.textEndLow) + word(BLOCK.textEndHigh) * 2 ** 32;
    status('Cutting the block out of the text report…');
    const label = blockLabel(state.view, b);
    client.ask('text', { type: 'text', start, end, leftOut: state.leftOut }).then(({ text }) => {
      $('copied-text').value = text;
      const dialog = $('copied');
      if (!dialog.open) dialog.showModal();
      status(`The text report's ${text.split('\n').length - 1} lines of ${label}`);
      if (navigator.clipboard && navigator.clipboard.writeText) navigator.clipboard.writeText(text).catch(() => {});
    });
  });
}

wire();
const embedded = $('database');
if (embedded.textContent.trim() !== '' && !embedded.textContent.includes('@DATABASE@')) {
  // The section flags the page was written with, as its switches.
  const leftOut = Number(embedded.dataset.leftOut) || 0;
  for (const s of $('sections').querySelectorAll('input')) {
    s.checked = (leftOut & (1 << Number(s.dataset.kind))) === 0;
    s.setAttribute('aria-checked', String(s.checked));
  }
  setLeftOut(leftOut);
  open(base64Bytes(embedded.textContent), embedded.dataset.name);
} else {
  status('Open a .nms database with the button above, or drop one on the page. It is read here and never leaves this computer.');
}
// For the benchmark (bench/viewer_scale.mjs): the state, and the drawing it times.
window.symdeckViewer = { state, selectBlock, selectByte, drawTree, drawFields, drawHex };
