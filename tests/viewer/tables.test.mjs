// The view's tables as the page reads them: records across frames, blocks in opening order,
// a field's parts, words and kinds, the walk's end.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { FLAG, NO_BLOCK, WALK_END } from '../../viewer/model/layout.mjs';
import {
  blockOfField, childrenOf, decodeWords, frameBytes, makeFields, makeView, slotFlags, slotKind, slotOf, slotOffset,
  slotSize, slotTarget, slotValue,
} from '../../viewer/model/tables.mjs';
import { encodeWords, fakeView } from './fake-view.mjs';
import { BLOCKS, FIELDS, KINDS, WORDS, sampleMessage } from './sample-walk.mjs';

test('bytes in frames: any span, within one frame or across several', () => {
  const frames = [[1, 2, 3], [4], [], [5, 6, 7, 8]].map((f) => new Uint8Array(f).buffer);
  const all = [1, 2, 3, 4, 5, 6, 7, 8];
  const bytes = frameBytes(frames);
  for (let from = 0; from <= all.length; ++from)
    for (let to = from; to <= all.length; ++to)
      assert.deepEqual(Array.from(bytes(from, to)), all.slice(from, to), `[${from}, ${to})`);
  assert.equal(frameBytes([])(0, 0).length, 0);
});

test('words of every length come back, padding and all', () => {
  const words = ['', 'a', 'ab', 'abc', 'abcd', 'abcde', 'ÉTÉ', 'x'.repeat(300)];
  assert.deepEqual(decodeWords(encodeWords(words)), words);
});

test('a view read: blocks in opening order across frames, their children and top level', () => {
  const v = makeView(sampleMessage());
  assert.equal(v.blockCount, BLOCKS.length);
  assert.deepEqual(v.top, [0, 1, 4, 5, 6]);
  const kids = [];
  childrenOf(v, 1, (c) => kids.push(c));
  assert.deepEqual(kids, [2, 3]);
  assert.deepEqual(v.words, WORDS);
  assert.deepEqual(v.kinds.map((k) => k.name), KINDS.map((k) => WORDS[k.name]));
  assert.equal(v.fieldCount, FIELDS.length);
  assert.equal(v.end.how, WALK_END.complete);
  assert.equal(v.end.openBlock, NO_BLOCK);
  // Every field's own block: the last one opened at or before it.
  const owners = FIELDS.map((_, i) => blockOfField(v, i));
  assert.deepEqual(owners, [0, 0, 1, 2, 2, 3, 6]);
});

test('each field\'s parts, every field held', () => {
  const whole = makeView(sampleMessage()).fields;
  for (const [i, f] of FIELDS.entries()) {
    const k = slotOf(whole, i);
    assert.equal(k, i);
    assert.deepEqual([slotOffset(whole, k), slotSize(whole, k), slotKind(whole, k), slotValue(whole, k),
                      slotTarget(whole, k), slotFlags(whole, k)],
                     [f.offset, f.size, f.kind, f.text, f.target ?? 0, f.flags ?? 0], `field ${i}`);
  }
  assert.equal(slotTarget(whole, 3), 0x1_0000_0010, 'a target past 32 bits');
  assert.ok(slotFlags(whole, 3) & FLAG.elementStart);
  for (const i of [-1, FIELDS.length]) assert.equal(slotOf(whole, i), -1, `field ${i}`);
});

test('a window holds some of the walk\'s fields, found by their index', () => {
  for (const held of [[], [0], [1, 3, 4], [2, 3, 4, 5, 6], [0, 1, 2, 3, 4, 5, 6]]) {
    const m = fakeView({ fields: held.map((i) => ({ ...FIELDS[i], index: i })), per: 2 });
    const f = makeFields(m.fields, m.text, 2, { bytes: [], fields: [] });
    for (let i = -1; i <= FIELDS.length; ++i) {
      const k = slotOf(f, i);
      assert.equal(k, held.indexOf(i), `field ${i} of ${held}`);
      if (k >= 0) assert.equal(slotValue(f, k), FIELDS[i].text);
    }
  }
});
