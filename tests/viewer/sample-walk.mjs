// A small walk for the model's tests: two top-level blocks with fields, a run of procedures
// under one of them, blocks with each kind of mark, names and texts among the fields.
import { FLAG, LEAD, MARK, NO_BLOCK, ROLE, UNKNOWN_KIND } from '../../viewer/model/layout.mjs';
import { fakeView } from './fake-view.mjs';

export const WORDS = ['NM32_HEADER', 'SEGDATA', 'SEGDATA_PROCEDURE', 'DIR_ENTRY', 'TYPE_RECORD', 'u32', 'char[]',
                      'signature', 'offProcDef', 'procName', 'text', 'ÉTÉ'];
const w = (word) => WORDS.indexOf(word);
export const KINDS = [
  { name: w('signature'), type: w('u32'), role: ROLE.signature, leads: LEAD.nothing },
  { name: w('offProcDef'), type: w('u32'), role: ROLE.offset, leads: LEAD.block },
  { name: w('procName'), type: w('u32'), role: ROLE.nameIndex, leads: LEAD.text },
  { name: w('text'), type: w('char[]'), role: ROLE.text, leads: LEAD.nothing },
];
// Opening order, as the text report has them.
export const BLOCKS = [
  { word: w('NM32_HEADER'), offset: 0, firstField: 0, fieldEnd: 2 },
  { word: w('SEGDATA'), offset: 0x100, firstField: 2, fieldEnd: 3 },
  { word: w('SEGDATA_PROCEDURE'), parent: 1, depth: 1, offset: 0x400, position: 0, count: 6, firstField: 3, fieldEnd: 5 },
  { word: w('SEGDATA_PROCEDURE'), parent: 1, depth: 1, offset: 0x480, position: 1, count: 6, firstField: 5, fieldEnd: 6 },
  { word: w('DIR_ENTRY'), mark: MARK.entryIndex, number: 3, firstField: 6, fieldEnd: 6 },
  { word: w('DIR_ENTRY'), mark: UNKNOWN_KIND, number: 0xFFFFFFFE, offset: 0x20, firstField: 6, fieldEnd: 6 },
  { word: w('TYPE_RECORD'), mark: MARK.typeIndex, number: 0x1003, offset: 0x600, firstField: 6, fieldEnd: 7 },
];
export const FIELDS = [
  { offset: 0, size: 4, kind: 0, text: 'NM32' },
  { offset: 4, size: 4, kind: 1, text: '0x100', target: 0x100, flags: FLAG.inFile },
  { offset: 0x100, size: 0x5000, kind: 1, text: '0x400', target: 0x400, flags: FLAG.inFile },
  { offset: 0x400, size: 4, kind: 2, text: 'MAIN', target: 0x1_0000_0010, flags: FLAG.elementStart | FLAG.inElement },
  { offset: 0x404, size: 8, kind: 3, text: 'ÉTÉ main' },
  { offset: 0x480, size: 4, kind: 2, text: 'helper', flags: FLAG.problem },
  { offset: 0x600, size: 2, kind: 3, text: '' },
];

export const sampleMessage = (options = {}) => fakeView({ blocks: BLOCKS, fields: FIELDS, words: WORDS, kinds: KINDS,
                                                          reads: [[8, 8], [0x2000, 0x2000]], per: 3, ...options });
export { NO_BLOCK };
