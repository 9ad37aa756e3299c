// The view form's layout as the page reads it: frame tags, record sizes, the words of a
// block record, a field record's bytes and flag bits, and the numbers of the walk's
// vocabulary (roles, what a target leads to, block marks, how a walk ends). The C++ side
// defines them: src/report/view_printer.h (the tables), src/report/events.h (the
// vocabulary) and src/wasm/symdeck_core.h (the section kinds and the view form's options).
// tests/viewer/layout.test.mjs reads those headers and fails when a number here differs.

// Frame tags of the view form's stream (view::Tag).
export const TAG = { header: 1, fields: 2, text: 3, blocks: 4, lists: 5, reads: 6, words: 8, kinds: 9, end: 10 };

// The header table: u32 words.
export const HEADER = { version: 0, imageSizeLow: 1, imageSizeHigh: 2, frameRecords: 3 };

// A field record: its bytes (view::kFieldBytes) and where each part of it lies.
export const FIELD_BYTES = 24;
export const FIELD = { offset: 0, size: 4, targetLow: 8, textEnd: 12, kind: 16, flags: 18, targetHigh: 19, index: 20 };
// The same parts that are u32, as word numbers.
export const FIELD_WORD = { offset: 0, size: 1, targetLow: 2, textEnd: 3, index: 5 };
// A field's flag bits (view::FieldFlag); bits UNRESOLVED_SHIFT.. hold why a type index has
// no target (Unresolved).
export const FLAG = { inFile: 1, elementStart: 2, inElement: 4, problem: 8 };
export const UNRESOLVED_SHIFT = 4;
export const UNRESOLVED_MASK = 7;

// A block record: 16 u32 (view::BlockWord).
export const BLOCK = {
  index: 0, parent: 1, offset: 2, size: 3, firstField: 4, fieldEnd: 5, subtreeEnd: 6, position: 7, count: 8,
  word: 9, number: 10, textStartLow: 11, textStartHigh: 12, textEndLow: 13, textEndHigh: 14, children: 15,
};
export const BLOCK_WORDS = 16;
export const BLOCK_BYTES = 4 * BLOCK_WORDS;
// The block word's parts: u16 word, u8 depth, u8 mark.
export const BLOCK_WORD_MASK = 0xFFFF;
export const DEPTH_SHIFT = 16;
export const MARK_SHIFT = 24;
// No block (a top-level block's parent, no block open), and the offset of a block that has
// no place in the file (view::kNoBlock, view::kNoPlace).
export const NO_BLOCK = 0xFFFFFFFF;
export const NO_PLACE = 0xFFFFFFFF;
// The mark of a directory entry of a kind the walk does not know (view::kUnknownKind).
export const UNKNOWN_KIND = 0xFF;
// Block marks (Mark): what a block's number is.
export const MARK = { none: 0, sectionEnd: 1, entryIndex: 2, typeIndex: 3 };

// A read record: u32 offset, u32 size. A kind of field: u16 name word, u16 type word, u8
// role, u8 leads, u16 zero.
export const READ_BYTES = 8;
export const KIND_BYTES = 8;
export const KIND = { name: 0, type: 2, role: 4, leads: 5 };
export const KIND_MASK = 0xFFFF;

// The end table: 16 u32 (view::EndWord), then the error line: u32 length, its bytes.
export const END = {
  how: 0, header: 1, offsetLow: 2, offsetHigh: 3, numberLow: 4, numberHigh: 5, openBlock: 6, blocks: 7, fields: 8,
  lists: 9, reads: 10, reportLow: 11, reportHigh: 12, damaged: 13, unknown: 14, wordCount: 15,
};
export const END_WORDS = 16;

// How a walk ends (WalkEnd).
export const WALK_END = { complete: 0, bounds: 1, signature: 2, limit: 3 };

// Field roles (Role) and what a field's target leads to (Leads), in their order.
export const ROLE = { offset: 0, count: 1, size: 2, nameIndex: 3, typeIndex: 4, enum: 5, signature: 6, text: 7, number: 8 };
export const LEADS = ['nothing', 'block', 'elements', 'area', 'array', 'text', 'record', 'leftOut'];
export const LEAD = Object.fromEntries(LEADS.map((word, k) => [word, k]));

// The section kinds the switches leave out, by their directory kind (bit k of left_out), in
// the order the page shows them.
export const SECTIONS = [['NMTP', 3], ['STTB', 2], ['SYMD', 6], ['TYTB', 4], ['HSHT', 5], ['FPOD', 8], ['SRCP', 7], ['GTYP', 1]];

// The view form's choice of fields, as symdeck_render reads its offsets: word 0's bits.
export const CHOICE = { noTree: 1, noCount: 2 };
