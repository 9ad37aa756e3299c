// The tree pane: the walk's blocks, the open ones' children under them, as an ARIA tree
// whose items are named as they are read aloud ("SEGDATA_PROCEDURE at 0x400, 1 of 6").
import { $, element, scrollGeometry, scrollToRow } from '../dom.mjs';
import { BLOCK, DEPTH_SHIFT, NO_BLOCK } from '../model/layout.mjs';
import { blockLabel, blockName, blockOffset, blockPlace, hex } from '../model/names.mjs';
import { childrenOf } from '../model/tables.mjs';
import { setExpanded, setVisible, state } from '../state.mjs';

const TREE_ROW = 20;
let actions = null;

const blk = (b, k) => state.view.blocks.word(b, k);

// The blocks the tree lists: the top-level ones, and the children of those open.
export function buildVisible() {
  const out = [];
  const visit = (b) => {
    out.push(b);
    if (state.expanded.has(b)) childrenOf(state.view, b, visit);
  };
  childrenOf(state.view, -1, visit);
  setVisible(Uint32Array.from(out));
}

// Block b's row in the list, or -1.
function rowOfBlock(b) {
  const vis = state.visible;
  // Visible blocks are in increasing order: a binary search finds it.
  let lo = 0, hi = vis.length - 1;
  while (lo <= hi) {
    const mid = (lo + hi) >> 1;
    if (vis[mid] === b) return mid;
    if (vis[mid] < b) lo = mid + 1; else hi = mid - 1;
  }
  return -1;
}

// The blocks whose rows are in view.
export function shownBlocks() {
  const vis = state.visible;
  const g = scrollGeometry($('tree'), vis.length, TREE_ROW);
  const out = [];
  for (let r = g.first; r <= g.last && r < vis.length; ++r) out.push(vis[r]);
  return out;
}

export function drawTree() {
  const tree = $('tree');
  const vis = state.visible;
  const g = scrollGeometry(tree, vis.length, TREE_ROW);
  const rows = [];
  for (let r = g.first; r <= g.last && r < vis.length; ++r) rows.push(treeRow(vis[r], r - g.first, g.top));
  tree.replaceChildren(tree.querySelector('.spacer'), ...rows);
  if (state.block >= 0) tree.setAttribute('aria-activedescendant', 'block-' + state.block);
  else tree.removeAttribute('aria-activedescendant');
  actions.moved();
}

// A tree item: what a sighted user sees (title, offset, place, children when closed, each
// a span of its own) and the same read as words, its name.
function treeRow(b, k, top) {
  const row = element('div', 'row');
  row.id = 'block-' + b;
  row.setAttribute('role', 'treeitem');
  const depth = (blk(b, BLOCK.word) >>> DEPTH_SHIFT) & 0xFF;
  row.setAttribute('aria-level', depth + 1);
  const children = blk(b, BLOCK.children);
  const open = state.expanded.has(b);
  if (children > 0) row.setAttribute('aria-expanded', open ? 'true' : 'false');
  row.setAttribute('aria-selected', b === state.block ? 'true' : 'false');
  row.setAttribute('aria-label', blockName(state.view, b, open ? 0 : children));
  row.style.top = top + k * TREE_ROW + 'px';
  row.style.paddingLeft = 4 + depth * 16 + 'px';
  row.dataset.block = b;
  const twisty = element('span', 'twisty', children > 0 ? (open ? '▾' : '▸') : '');
  twisty.setAttribute('aria-hidden', 'true');
  row.append(twisty, element('span', 'title', blockLabel(state.view, b)));
  const offset = blockOffset(state.view, b);
  if (offset >= 0) row.append(element('span', 'off', hex(offset)));
  const place = blockPlace(state.view, b);
  if (place) row.append(element('span', 'place', place));
  if (children > 0 && !open) row.append(element('span', 'count', `(${children})`));
  return row;
}

// Opens or closes block b (open undefined: the other way).
export function toggle(b, open) {
  if (blk(b, BLOCK.children) === 0) return;
  setExpanded(b, open === undefined ? !state.expanded.has(b) : open);
  buildVisible();
  drawTree();
}

// Opens block b's ancestors and scrolls its row into view.
export function revealBlock(b) {
  let changed = false;
  for (let p = blk(b, BLOCK.parent); p !== NO_BLOCK; p = blk(p, BLOCK.parent))
    if (!state.expanded.has(p)) { setExpanded(p, true); changed = true; }
  if (changed) buildVisible();
  const row = rowOfBlock(b);
  if (row >= 0) scrollToRow($('tree'), row, state.visible.length, TREE_ROW);
}

// actions: selectBlock(b), moved() (what is on screen changed).
export function wireTree(given) {
  actions = given;
  const tree = $('tree');
  tree.addEventListener('scroll', () => drawTree());
  tree.addEventListener('click', (e) => {
    const row = e.target.closest('.row');
    if (!row) return;
    const b = Number(row.dataset.block);
    if (e.target.classList.contains('twisty')) toggle(b);
    else actions.selectBlock(b);
    tree.focus({ preventScroll: true });
  });
  tree.addEventListener('dblclick', (e) => {
    const row = e.target.closest('.row');
    if (row) toggle(Number(row.dataset.block));
  });
  tree.addEventListener('keydown', (e) => {
    if (!state.view || state.visible.length === 0) return;
    const vis = state.visible;
    const row = rowOfBlock(state.block);
    const b = state.block;
    const go = (r) => { if (r >= 0 && r < vis.length) actions.selectBlock(vis[r]); };
    switch (e.key) {
      case 'ArrowDown': go(row < 0 ? 0 : row + 1); break;
      case 'ArrowUp': go(row < 0 ? 0 : row - 1); break;
      case 'Home': go(0); break;
      case 'End': go(vis.length - 1); break;
      case 'ArrowRight':
        if (b >= 0 && blk(b, BLOCK.children) > 0) {
          if (!state.expanded.has(b)) toggle(b, true); else go(row + 1);
        }
        break;
      case 'ArrowLeft':
        if (b >= 0 && state.expanded.has(b)) toggle(b, false);
        else if (b >= 0 && blk(b, BLOCK.parent) !== NO_BLOCK) actions.selectBlock(blk(b, BLOCK.parent));
        break;
      case 'Enter': case ' ': if (b >= 0) toggle(b); break;
      default: return;
    }
    e.preventDefault();
  });
}
