#!/usr/bin/env node
// The viewer at scale, in Debian's headless Chromium: a large database opened through the
// file picker (and the same embedded by --html), timed to its tree; repaints after a
// selection, a followed link and scrolls, each once the page has settled (a large database's
// page holds the fields of a window around what it shows and fetches them when it moves: how
// long those fetches take is given too); the browser's memory. Figures, not a test:
//
//   node bench/viewer_scale.mjs BUILD [MEBIBYTES]      (default 64; BUILD holds make_large,
//                                                        symdeck and viewer/symdeck-viewer.html)
//
// It needs tests/browser's npm packages (tools/test-deps.sh install browser).
import { execFileSync } from 'node:child_process';
import { existsSync, readFileSync, readdirSync, statSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const require = createRequire(new URL('../tests/browser/package.json', import.meta.url));
const { chromium } = require('playwright-core');

const build = resolve(process.argv[2] ?? 'build');
const mebibytes = Number(process.argv[3] ?? 64);
const database = join(build, `viewer-bench-${mebibytes}.nms`);
if (!existsSync(database)) execFileSync(join(build, 'make_large'), [database, String(mebibytes)]);
const page = join(build, 'viewer', 'symdeck-viewer.html');
const embedded = join(build, `viewer-bench-${mebibytes}.html`);
execFileSync(join(build, 'symdeck'), [database, '--html', '-o', embedded]);

// The resident memory of every process under `pid` (the browser's, started from here; this
// process itself left out), in MiB.
function browserMemory(pid) {
  const children = new Map();
  for (const entry of readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    try {
      const stat = readFileSync(`/proc/${entry}/stat`, 'utf8');
      const parent = Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
      if (!children.has(parent)) children.set(parent, []);
      children.get(parent).push(Number(entry));
    } catch { /* gone */ }
  }
  let kib = 0;
  const visit = (p) => {
    try {
      const m = /VmRSS:\s+(\d+)/.exec(readFileSync(`/proc/${p}/status`, 'utf8'));
      if (m) kib += Number(m[1]);
    } catch { /* gone */ }
    for (const c of children.get(p) ?? []) visit(c);
  };
  for (const c of children.get(pid) ?? []) visit(c);
  return Math.round(kib / 1024);
}

// Milliseconds from `action` (run in the page) to the next frame painted after it. When the
// action needs fields the page does not hold (a large database keeps a window of them), the
// repaint ends when they have come from the worker and are drawn.
const repaint = (p, action, arg) => p.evaluate(async ([source, a]) => {
  const act = new Function('a', source);
  const s = window.symdeckViewer.state;
  const start = performance.now();
  act(a);
  while (s.windowWaiting) await new Promise((done) => setTimeout(done, 2));
  await new Promise((done) => requestAnimationFrame(() => setTimeout(done, 0)));
  return performance.now() - start;
}, [action, arg]);

// A person between two clicks: the page has fetched the fields of what it shows (a large
// database's page asks for them a quarter second after it moves).
const settle = (p) => p.evaluate(async () => {
  const s = window.symdeckViewer.state;
  await new Promise((done) => setTimeout(done, 400));
  while (s.windowWaiting) await new Promise((done) => setTimeout(done, 10));
});

const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
// The browser's processes are this one's descendants.
const pid = process.pid;
try {
  const context = await browser.newContext({ viewport: { width: 1400, height: 900 } });
  const p = await context.newPage();
  await p.goto(pathToFileURL(page).href);
  await p.waitForTimeout(300);
  const idle = pid ? browserMemory(pid) : NaN;
  const started = Date.now();
  await p.setInputFiles('#picker', database);
  await p.waitForFunction(() => Number(document.body.dataset.walked || 0) >= 1, null, { timeout: 120000, polling: 20 });
  const toTree = Date.now() - started;
  const walk = await p.evaluate(() => window.symdeckViewer.state.view.ms);
  await p.waitForFunction(() => Number(document.body.dataset.indexed || 0) >= 1, null, { timeout: 120000, polling: 20 });
  const toIndex = Date.now() - started;
  const counts = await p.evaluate(() => ({ blocks: window.symdeckViewer.state.view.blockCount, fields: window.symdeckViewer.state.view.fieldCount }));
  await p.waitForTimeout(500);
  const loaded = pid ? browserMemory(pid) : NaN;

  // Repaints: selecting tree items, following links, scrolling the tree and the hex pane.
  const select = [], follow = [], scrollTree = [], scrollHex = [], expand = [];
  for (let i = 0; i < 10; ++i) {
    await settle(p);
    expand.push(await repaint(p, `
      const rows = document.querySelectorAll('[role=treeitem][aria-expanded=false]');
      if (rows.length) rows[a % rows.length].querySelector('.twisty').click();`, i));
    await settle(p);
    select.push(await repaint(p, `
      const rows = document.querySelectorAll('[role=treeitem]');
      if (rows.length) rows[(a * 7) % rows.length].click();`, i));
    await settle(p);
    follow.push(await repaint(p, `
      const links = document.querySelectorAll('#fields td:nth-child(5) a');
      if (links.length) links[a % links.length].click();`, i));
    await settle(p);
    scrollTree.push(await repaint(p, `const t = document.getElementById('tree'); t.scrollTop += 3000 * (a + 1); t.dispatchEvent(new Event('scroll'));`, i));
    await settle(p);
    scrollHex.push(await repaint(p, `const h = document.getElementById('hex-scroll'); h.scrollTop += 40000 * (a + 1); h.dispatchEvent(new Event('scroll'));`, i));
  }
  // The holders of a byte, from its selection to their list (the worker explains the byte;
  // a byte whose fields the page does not hold has its window read first).
  const holders = [];
  for (let i = 0; i < 8; ++i) {
    await settle(p);
    holders.push(await p.evaluate(async (fraction) => {
      const v = window.symdeckViewer;
      const list = document.getElementById('holders');
      const start = performance.now();
      v.selectByte(Math.floor(v.state.bytes.length * fraction));
      while (list.children.length === 0) await new Promise((done) => setTimeout(done, 1));
      return performance.now() - start;
    }, (i + 0.5) / 8));
  }
  await p.waitForTimeout(1000);
  const windows = await p.evaluate(() => ({ times: window.symdeckViewer.state.windowTimes,
                                            held: window.symdeckViewer.state.view.fields.count }));
  const worked = pid ? browserMemory(pid) : NaN;
  await context.close();

  // The same database embedded in the page (--html), opened from disk.
  const context2 = await browser.newContext({ viewport: { width: 1400, height: 900 } });
  const p2 = await context2.newPage();
  const started2 = Date.now();
  await p2.goto(pathToFileURL(embedded).href, { timeout: 120000 });
  await p2.waitForFunction(() => Number(document.body.dataset.walked || 0) >= 1, null, { timeout: 180000, polling: 20 });
  const embeddedToTree = Date.now() - started2;
  await context2.close();

  const mib = (n) => `${n} MiB`;
  const ms = (xs) => `median ${median(xs).toFixed(1)} ms, max ${Math.max(...xs).toFixed(1)} ms`;
  console.log(`database: ${database} (${(statSync(database).size / 1048576).toFixed(1)} MiB; ${counts.blocks} blocks, ${counts.fields} fields)`);
  console.log(`picker to tree: ${toTree} ms (the walk in the worker: ${Math.round(walk)} ms); fields indexed by offset (byte clicks, tints): ${toIndex} ms`);
  console.log(`repaint after selecting a tree item: ${ms(select)}`);
  console.log(`repaint after expanding a tree item: ${ms(expand)}`);
  console.log(`repaint after following a link: ${ms(follow)}`);
  console.log(`repaint after scrolling the tree: ${ms(scrollTree)}`);
  console.log(`repaint after scrolling the hex pane: ${ms(scrollHex)}`);
  if (windows.times.length)
    console.log(`windows of fields read from the worker: ${windows.times.length}, ${ms(windows.times)}, the first ${windows.times[0].toFixed(1)} ms; fields held at the end: ${windows.held}`);
  else console.log(`every field held: ${windows.held}`);
  console.log(`holders of a byte (8 bytes across the file): ${ms(holders)}`);
  console.log(`browser memory (all processes, resident): idle ${mib(idle)}, tree shown ${mib(loaded)}, after the repaints ${mib(worked)}`);
  console.log(`embedded page (${(statSync(embedded).size / 1048576).toFixed(1)} MiB) from disk to tree: ${embeddedToTree} ms`);
} finally {
  await browser.close();
}
