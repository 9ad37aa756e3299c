// What the page says: titles as the text report spells them, names read aloud as words,
// offsets as typed, explain's answers split, a search's match.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { LEAD } from '../../viewer/model/layout.mjs';
import { blockLabel, blockName, byteName, contains, leadsName, parseOffset, splitAnswers } from '../../viewer/model/names.mjs';
import { makeView } from '../../viewer/model/tables.mjs';
import { sampleMessage } from './sample-walk.mjs';

test('block titles and the names their tree items are read by', () => {
  const v = makeView(sampleMessage());
  const cases = [
    // block, children hidden, title, name
    [0, 0, 'NM32_HEADER', 'NM32_HEADER at 0x0'],
    [1, 2, 'SEGDATA', 'SEGDATA at 0x100, 2 blocks inside'],
    [2, 0, 'SEGDATA_PROCEDURE', 'SEGDATA_PROCEDURE at 0x400, 1 of 6'],
    [3, 1, 'SEGDATA_PROCEDURE', 'SEGDATA_PROCEDURE at 0x480, 2 of 6, 1 block inside'],
    [4, 0, 'DIR_ENTRY (3)', 'DIR_ENTRY (3)'],
    [5, 0, 'DIR_ENTRY (value -2)', 'DIR_ENTRY (value -2) at 0x20'],
    [6, 0, 'TYPE_RECORD (type: 0x1003)', 'TYPE_RECORD (type: 0x1003) at 0x600'],
  ];
  for (const [b, hidden, title, name] of cases) {
    assert.equal(blockLabel(v, b), title, `block ${b}`);
    assert.equal(blockName(v, b, hidden), name, `block ${b}`);
  }
  assert.equal(leadsName(LEAD.block, 0x400), 'block at 0x400');
  for (const [byte, at, name] of [[0x6C, 0x64B, '6C at 0x64B'], [0, 0, '00 at 0x0'], [0xFF, 2 ** 32, 'FF at 0x100000000'],
                                   [undefined, 0x10, 'unread at 0x10']])
    assert.equal(byteName(byte, at), name);
});

test('offsets as typed: 0x hexadecimal, plain digits decimal, nothing else', () => {
  const cases = [['0x64B', 0x64B], ['0X64b', 0x64B], [' 1611 ', 1611], ['0', 0], ['0x', NaN], ['64B', NaN], ['-1', NaN],
                 ['1e3', NaN], ['', NaN], ['0x3000000', 0x3000000]];
  for (const [text, offset] of cases) assert.ok(Object.is(parseOffset(text), offset), `"${text}"`);
});

test('explain\'s answers: a line that names the offset, and the indented lines under it', () => {
  const cases = [
    ['', []],
    ['0x10 in A\n  field x\n  field y\n0x10 in B\n', ['0x10 in A\n  field x\n  field y', '0x10 in B']],
    ['  stray\n\nA\n', ['  stray', 'A']],
  ];
  for (const [text, answers] of cases) assert.deepEqual(splitAnswers(text), answers, JSON.stringify(text));
});

test('a search matches ASCII letters without case, other bytes exactly', () => {
  const bytes = (s) => new TextEncoder().encode(s);
  const cases = [['MAIN_loop', 'main', true], ['xmaix', 'main', false], ['Été', 'été', false], ['été', 'été', true],
                 ['ab', 'abc', false], ['', '', true], ['[MAIN]', '[main]', true]];
  for (const [text, needle, found] of cases) assert.equal(contains(bytes(text), bytes(needle)), found, `${text} ${needle}`);
});
