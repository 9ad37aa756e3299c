// The view form's layout as the page reads it (viewer/model/layout.mjs) against the C++
// that writes it: each number is read out of the headers and sources here, so a change on
// one side alone fails.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import * as layout from '../../viewer/model/layout.mjs';

// Where the C++ side states the layout, the one place these paths are named.
const SOURCES = {
  view: 'src/report/view_printer.h', viewWriter: 'src/report/view_printer.cpp', events: 'src/report/events.h',
  core: 'src/wasm/symdeck_core.h',
};
const read = (key) => readFileSync(new URL(`../../${SOURCES[key]}`, import.meta.url), 'utf8');
const code = (key) => read(key).replace(/\/\/[^\n]*/g, '').replace(/\/\*[\s\S]*?\*\//g, '');

const number = (text) => {
  const t = text.trim();
  if (/^~uint32_t\{0\}$/.test(t)) return 0xFFFFFFFF;
  const n = Number(t);
  assert.ok(Number.isInteger(n), `a number: ${t}`);
  return n;
};
// The enumerators of enum `name`, in order, with their values (C++'s: one more than the
// one before unless given).
function enumerators(text, name) {
  const m = new RegExp(`enum\\s+(?:class\\s+)?${name}\\b[^{]*\\{([^}]*)\\}`).exec(text);
  assert.ok(m, `enum ${name}`);
  const out = [];
  let next = 0;
  for (const item of m[1].split(',').map((s) => s.trim()).filter(Boolean)) {
    const [id, value] = item.split('=').map((s) => s.trim());
    next = value === undefined ? next : number(value);
    out.push([id, next++]);
  }
  return out;
}
const constant = (text, name) => {
  const m = new RegExp(`constexpr\\s+[\\w:]+\\s+${name}\\s*=\\s*([^;]+);`).exec(text);
  assert.ok(m, name);
  return number(m[1]);
};
// kBlockFirstField -> firstField (prefix kBlock), Offset -> offset.
const key = (id, prefix) => { const s = id.slice(prefix.length); return s[0].toLowerCase() + s.slice(1); };
const asObject = (list, prefix, except = []) =>
  Object.fromEntries(list.filter(([id]) => !except.includes(id)).map(([id, v]) => [key(id, prefix), v]));

test('the view form\'s tags, records and flags are view_printer.h\'s', () => {
  const h = code('view');
  const cases = [
    ['tags', layout.TAG, asObject(enumerators(h, 'Tag'), 'k')],
    ['field flags', layout.FLAG, asObject(enumerators(h, 'FieldFlag'), 'k')],
    ['block words', layout.BLOCK, asObject(enumerators(h, 'BlockWord'), 'kBlock', ['kBlockWords'])],
    ['end words', layout.END, asObject(enumerators(h, 'EndWord'), 'kEnd', ['kEndWords'])],
    ['block record words', layout.BLOCK_WORDS, Object.fromEntries(enumerators(h, 'BlockWord')).kBlockWords],
    ['end record words', layout.END_WORDS, Object.fromEntries(enumerators(h, 'EndWord')).kEndWords],
    ['field bytes', layout.FIELD_BYTES, constant(h, 'kFieldBytes')],
    ['unresolved shift', layout.UNRESOLVED_SHIFT, constant(h, 'kUnresolvedShift')],
    ['no block', layout.NO_BLOCK, constant(h, 'kNoBlock')],
    ['no place', layout.NO_PLACE, constant(h, 'kNoPlace')],
    ['unknown kind', layout.UNKNOWN_KIND, constant(h, 'kUnknownKind')],
  ];
  for (const [what, ours, theirs] of cases) assert.deepEqual(ours, theirs, what);
  assert.equal(layout.BLOCK_BYTES, 4 * layout.BLOCK_WORDS);
});

test('a field record\'s parts lie where the view printer writes them', () => {
  const body = /void field\(const Field& f\) \{([\s\S]*?)\n    \}/.exec(code('view'));
  assert.ok(body, 'ViewPrinter::field');
  // Each part by the expression the printer writes there.
  const written = {};
  for (const m of body[1].matchAll(/put32\(p(?: \+ (\d+))?, ([^;]+)\);/g)) written[m[2]] = { at: Number(m[1] ?? 0), size: 4 };
  for (const m of body[1].matchAll(/memcpy\(p \+ (\d+), &(\w+), (\d)\)/g)) written[m[2]] = { at: Number(m[1]), size: Number(m[3]) };
  for (const m of body[1].matchAll(/p\[(\d+)\] = ([^;]+);/g)) written[m[2]] = { at: Number(m[1]), size: 1 };
  const find = (pattern) => {
    const hits = Object.entries(written).filter(([expr]) => pattern.test(expr));
    assert.equal(hits.length, 1, `one write matches ${pattern}: ${Object.keys(written).join(' | ')}`);
    return hits[0][1];
  };
  const parts = [
    ['offset', /f\.offset/, 4], ['size', /f\.size/, 4], ['targetLow', /\(at\)$/, 4], ['textEnd', /values_\.length/, 4],
    ['kind', /^kind$/, 2], ['flags', /flags/, 1], ['targetHigh', /at >> 32/, 1], ['index', /^index$/, 4],
  ];
  for (const [part, pattern, size] of parts) {
    assert.deepEqual(find(pattern), { at: layout.FIELD[part], size }, part);
    if (size === 4) assert.equal(layout.FIELD_WORD[part], layout.FIELD[part] / 4, part);
  }
  // Every byte of the record is one part's.
  assert.equal(Object.values(written).reduce((n, w) => n + w.size, 0), layout.FIELD_BYTES);
});

test('the kinds and the header are laid out as the view printer writes them', () => {
  const cpp = code('viewWriter');
  const kinds = /std::vector<char> kinds\(kinds_\.size\(\) \* (\d+)[\s\S]*?frame\(view::kKinds/.exec(cpp);
  assert.ok(kinds, 'the kinds table');
  assert.equal(layout.KIND_BYTES, Number(kinds[1]));
  const at = (pattern) => Number((pattern.exec(kinds[0]) ?? [])[1] ?? 0);
  assert.deepEqual(layout.KIND, {
    name: at(/memcpy\(p(?: \+ (\d+))?, &kinds_\[i\]\.name/), type: at(/memcpy\(p(?: \+ (\d+))?, &kinds_\[i\]\.type/),
    role: at(/p\[(\d+)\] = [^;]*\.role/), leads: at(/p\[(\d+)\] = [^;]*\.leads/),
  });
  const head = /const uint32_t head\[4\] = \{([^}]*)\}/.exec(cpp);
  assert.ok(head, 'the header');
  assert.equal(head[1].split(',').findIndex((s) => s.includes('kFrameRecords')), layout.HEADER.frameRecords);
  assert.equal(head[1].split(',').findIndex((s) => s.includes('kVersion')), layout.HEADER.version);
});

test('roles, leads, marks and ends are the walk\'s vocabulary (events.h)', () => {
  const h = code('events');
  const words = /kLeadsWords\[\] = \{([^}]*)\}/.exec(h)[1].match(/"(\w+)"/g).map((w) => w.slice(1, -1));
  const cases = [
    ['roles', layout.ROLE, asObject(enumerators(h, 'Role'), '')],
    ['marks', layout.MARK, asObject(enumerators(h, 'Mark'), '')],
    ['walk ends', layout.WALK_END, asObject(enumerators(h, 'WalkEnd'), '')],
    ['leads', layout.LEADS, words],
    ['leads by enum', layout.LEADS, enumerators(h, 'Leads').map(([id]) => key(id, ''))],
  ];
  for (const [what, ours, theirs] of cases) assert.deepEqual(ours, theirs, what);
  // Why a type index has no target fits in the bits the flags keep for it.
  assert.ok(enumerators(h, 'Unresolved').length <= layout.UNRESOLVED_MASK + 1);
});

test('the section kinds and the view form\'s choice bits are the C interface\'s', () => {
  const h = read('core');
  const listed = /entryIndex is k \(as the -GTYP, -STTB, \.\.\. flags do: ([^)]*)\)/.exec(h.replace(/\s*\n\s*\*\s*/g, ' '));
  assert.ok(listed, 'the list of section kinds in symdeck_core.h');
  const kinds = listed[1].split(',').map((s) => s.trim().split(' ')).map(([name, k]) => [name, Number(k)]);
  assert.deepEqual([...layout.SECTIONS].sort(), kinds.sort());
  const flat = h.replace(/\s*\n\s*\*\s*/g, ' ');
  assert.match(flat, new RegExp(`bit ${Math.log2(layout.CHOICE.noTree)}: leave out the tree's tables`));
  assert.match(flat, new RegExp(`bit ${Math.log2(layout.CHOICE.noCount)}: do not count the text report`));
  const ends = Object.fromEntries([...h.matchAll(/SYMDECK_END_(\w+) = (\d+)/g)].map(([, n, v]) => [n.toLowerCase(), Number(v)]));
  assert.deepEqual(ends, layout.WALK_END);
});
