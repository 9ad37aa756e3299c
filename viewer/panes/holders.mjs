// The holders of the selected byte: explain's answers for it, one list item each.
import { $, element } from '../dom.mjs';
import { splitAnswers } from '../model/names.mjs';

export function clearHolders() { $('holders').replaceChildren(); }

export function showHolders(text) {
  $('holders').replaceChildren(...splitAnswers(text).map((answer) => element('li', '', answer)));
}
