// What the page says: block titles, places, the names that tree items, cells and links are
// read aloud by, offsets as typed, explain's answers, a search's match.
import { BLOCK, BLOCK_WORD_MASK, LEADS, MARK_SHIFT, NO_PLACE, TITLE_NUMBER } from './layout.mjs';

export const hex = (n) => '0x' + n.toString(16).toUpperCase();
// A byte as two hexadecimal digits.
export const BYTE_HEX = Array.from({ length: 256 }, (_, b) => b.toString(16).toUpperCase().padStart(2, '0'));

// "0x..." hexadecimal, plain digits decimal, as --explain reads them; NaN otherwise.
export function parseOffset(text) {
  const t = text.trim();
  if (/^0[xX][0-9a-fA-F]+$/.test(t)) return parseInt(t.slice(2), 16);
  if (/^[0-9]+$/.test(t)) return parseInt(t, 10);
  return NaN;
}

// Block b's title as the text report spells it.
export function blockLabel(v, b) {
  const w = v.blocks.word(b, BLOCK.word);
  const mark = w >>> MARK_SHIFT;
  const number = v.blocks.word(b, BLOCK.number);
  const label = v.words[w & BLOCK_WORD_MASK];
  // The number a mark names, in the text report's words (TITLE_NUMBER, from the C++ side).
  const spelling = TITLE_NUMBER[mark];
  if (spelling === undefined) return label;
  const [before, after, radix] = spelling;
  return label + before + (radix === 16 ? number.toString(16).toUpperCase() : String(number | 0)) + after;
}

// Block b's offset in the file, or -1 when it has no place there.
export function blockOffset(v, b) {
  const o = v.blocks.word(b, BLOCK.offset);
  return o === NO_PLACE ? -1 : o;
}

// "2 of 3" among its siblings of a run, or '' when it stands alone.
export function blockPlace(v, b) {
  const count = v.blocks.word(b, BLOCK.count), position = v.blocks.word(b, BLOCK.position);
  return count > 1 || position > 0 ? `${position + 1} of ${count}` : '';
}

// The parts of a block's name, each a phrase: "SEGDATA_PROCEDURE at 0x400, 1 of 6".
// `hidden`: how many children a closed item holds (0: none shown).
export function blockName(v, b, hidden = 0) {
  const offset = blockOffset(v, b);
  const place = blockPlace(v, b);
  let name = blockLabel(v, b);
  if (offset >= 0) name += ` at ${hex(offset)}`;
  if (place) name += `, ${place}`;
  if (hidden > 0) name += `, ${hidden} ${hidden === 1 ? 'block' : 'blocks'} inside`;
  return name;
}

// The name of a byte's cell: its value and its offset ("6C at 0x64B"); a byte the page
// does not hold yet is "unread".
export const byteName = (byte, at) => `${byte === undefined ? 'unread' : BYTE_HEX[byte]} at ${hex(at)}`;

// The name of a link from a field to where its target leads: "block at 0x400".
export const leadsName = (leads, target) => `${LEADS[leads]} at ${hex(target)}`;

// The answers of explain, one each: a line that names the offset, and the lines under it
// (indented).
export function splitAnswers(text) {
  const items = [];
  for (const line of text.split('\n')) {
    if (line === '') continue;
    if (!line.startsWith(' ') || items.length === 0) items.push([line]);
    else items[items.length - 1].push(line);
  }
  return items.map((lines) => lines.join('\n'));
}

// Whether the bytes `text` contain `needle` (lower-case ASCII), ASCII letters matched
// without case.
export function contains(text, needle) {
  outer: for (let s = 0; s + needle.length <= text.length; ++s) {
    for (let k = 0; k < needle.length; ++k) {
      let c = text[s + k];
      if (c >= 0x41 && c <= 0x5A) c += 0x20;
      if (c !== needle[k]) continue outer;
    }
    return true;
  }
  return false;
}
