// The alert: where and why the walk stopped, with a link there.
import { $, element } from '../dom.mjs';
import { NO_BLOCK, WALK_END } from '../model/layout.mjs';
import { blockOffset, hex } from '../model/names.mjs';

// The alert for view `v` of a database of `size` bytes (hidden when the walk went through).
export function showEnd(v, size) {
  const alert = $('alert');
  const end = v.end;
  if (end.how === WALK_END.complete) { alert.hidden = true; alert.replaceChildren(); return; }
  // Where it stopped: the structure that broke, or the block open there.
  let place = -1;
  const broke = end.how === WALK_END.bounds || end.how === WALK_END.signature;
  if (broke && end.offset < size) place = end.offset;
  else if (end.openBlock !== NO_BLOCK) place = blockOffset(v, end.openBlock);
  alert.replaceChildren(element('span', '', `The walk stopped in ${end.header}: ${end.line} `));
  if (place >= 0) {
    const a = element('a', '', `Go to ${hex(place)}`);
    a.href = '#' + hex(place);
    a.dataset.offset = place;
    alert.append(a);
  }
  alert.hidden = false;
}
