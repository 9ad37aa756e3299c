// What the panes share of the document: elements by id, and virtual lists (only the rows in
// view are in the document).
export const $ = (id) => document.getElementById(id);

const MAX_SCROLL = 8e6;  // px: browsers cap an element's height; taller lists are scaled

// A virtual list in a scrolling element: `count` rows of `rowHeight`. Which rows are in view,
// and where the first of them goes. A list taller than browsers let an element be is
// scaled: its scroll range stands for all its rows.
export function scrollGeometry(scroller, count, rowHeight) {
  const full = count * rowHeight;
  const height = Math.min(full, MAX_SCROLL);
  scroller.querySelector('.spacer').style.height = height + 'px';
  const shown = Math.ceil(scroller.clientHeight / rowHeight) + 1;
  const top = scroller.scrollTop;
  let first;
  if (full <= MAX_SCROLL) {
    first = Math.floor(top / rowHeight);
  } else {
    const range = Math.max(1, height - scroller.clientHeight);
    first = Math.round((Math.min(top, range) / range) * Math.max(0, count - shown + 1));
  }
  first = Math.max(0, Math.min(first, count - 1));
  const place = full <= MAX_SCROLL ? first * rowHeight : top;
  return { first, last: Math.min(count - 1, first + shown), shown, top: place };
}

// Scrolls so that `row` is in view, a third of the way down, unless it is in view already.
export function scrollToRow(scroller, row, count, rowHeight) {
  const g = scrollGeometry(scroller, count, rowHeight);
  if (row >= g.first && row < g.first + g.shown - 2) return;
  const target = Math.max(0, row - Math.floor(g.shown / 3));
  const full = count * rowHeight;
  if (full <= MAX_SCROLL) {
    scroller.scrollTop = target * rowHeight;
  } else {
    const range = Math.max(1, MAX_SCROLL - scroller.clientHeight);
    scroller.scrollTop = (target / Math.max(1, count - g.shown + 1)) * range;
  }
}

// A new element: its class, its text.
export function element(tag, className = '', text = '') {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text) e.textContent = text;
  return e;
}
