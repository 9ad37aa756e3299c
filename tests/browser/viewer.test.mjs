// The viewer in a real browser: Debian's headless Chromium, driven by playwright-core. The
// page is checked through its accessible roles against the program's own forms of the same
// database: the text report, and the answers of --explain.
//
//   VIEWER_PAGE   build/viewer/symdeck-viewer.html (the standalone page)
//   SYMDECK       the program (its --html page, its reports)
//   SAMPLE        the sample database
//   OUT_DIR       where screenshots and scratch files go
//   CHROMIUM      the browser (default /usr/bin/chromium)
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

const env = (name, fallback) => {
  const value = process.env[name] ?? fallback;
  if (value === undefined) throw new Error(`${name} is not set`);
  return value;
};
const PAGE = env('VIEWER_PAGE');
const SYMDECK = env('SYMDECK');
const SAMPLE = env('SAMPLE');
const OUT = env('OUT_DIR');
mkdirSync(OUT, { recursive: true });

const hex = (n) => '0x' + n.toString(16).toUpperCase();
const run = (...args) => execFileSync(SYMDECK, args, { maxBuffer: 1 << 28 });
const reportOf = (path, ...flags) => run(path, ...flags, '-o', '-').toString('utf8');
const sampleBytes = readFileSync(SAMPLE);
const sampleReport = reportOf(SAMPLE);
// A byte's cell in the hex pane is named by its value and its offset: "6C at 0x64B".
const byteHex = (bytes, at) => bytes[at].toString(16).toUpperCase().padStart(2, '0');
const cellName = (at, bytes = sampleBytes) => `${byteHex(bytes, at)} at ${hex(at)}`;

let browser;
before(async () => {
  browser = await chromium.launch({ executablePath: env('CHROMIUM', '/usr/bin/chromium'), args: ['--no-sandbox'] });
});
after(async () => { await browser?.close(); });

// A page with every request and console message counted: the viewer may load its own file
// and the worker it makes from its own text, nothing else, and logs nothing.
async function openPage(url, { colorScheme = 'light' } = {}) {
  const context = await browser.newContext({ viewport: { width: 1400, height: 900 }, colorScheme });
  const page = await context.newPage();
  const faults = [];
  page.on('console', (m) => { if (m.type() === 'error' || m.type() === 'warning') faults.push(`console ${m.type()}: ${m.text()}`); });
  page.on('pageerror', (e) => faults.push(`page error: ${e.message}`));
  page.on('request', (r) => { if (!/^(file|blob):/.test(r.url())) faults.push(`request: ${r.url()}`); });
  await page.goto(url);
  return { page, context, faults };
}

// A page that holds every field of the database, or (windowBytes) only those of windows of
// so many bytes around what it shows, as it does for a large database.
async function openFile(path, { windowBytes, ...options } = {}) {
  const url = pathToFileURL(PAGE).href + (windowBytes ? `?window=${windowBytes}` : '');
  const opened = await openPage(url, options);
  await opened.page.setInputFiles('#picker', path);
  await walked(opened.page);
  return opened;
}

// Waits for the walk's tables to be drawn and its fields indexed by offset (the n-th walk of
// this page).
async function walked(page, n = 1) {
  await page.waitForFunction((k) => Number(document.body.dataset.walked || 0) >= k &&
                                    Number(document.body.dataset.indexed || 0) >= k, n, { timeout: 60000 });
}

// Waits until the fields the page asked the worker for are here and drawn.
async function settled(page) {
  await page.waitForFunction(() => !window.symdeckViewer.state.windowWaiting && !document.querySelector('#fields tr.reading'));
}

// The two ways the page holds fields: all of them, and windows of 256 bytes.
const MODES = [['every field held', {}], ['windows of fields', { windowBytes: 256 }]];

const selectedItem = (page) => page.locator('[role=treeitem][aria-selected=true]');
async function tableRows(page) {
  return page.$$eval('#fields tbody tr[data-field]', (rows) => rows.map((tr) =>
    Array.from(tr.cells, (td) => td.textContent)));
}

// The text report's top-level blocks: the titles at the start of a line, as the tree's items
// begin their names ("NM32_HEADER at 0x0").
function topLevelTitles(report) {
  const titles = [];
  for (const m of report.matchAll(/^([A-Z0-9_]+) \(offset: (0x[0-9A-F]+)/gm)) titles.push(`${m[1]} at ${m[2]}`);
  return titles;
}

// The tree's top-level items by their names, up to the place and count that follow.
async function topLevelNames(page) {
  const names = await page.getByRole('treeitem', { level: 1 }).evaluateAll((items) =>
    items.map((i) => i.getAttribute('aria-label')));
  return names.map((name) => name.split(', ')[0]);
}

// A tree item's name, made of what it shows: the title, "at" its offset, its place among
// its siblings, how many blocks a closed one holds, each a phrase of its own.
async function itemName(item) {
  return item.evaluate((row) => {
    const text = (c) => row.querySelector(c)?.textContent ?? '';
    const count = Number(text('.count').replace(/[()]/g, ''));
    return [text('.title') + (text('.off') ? ` at ${text('.off')}` : ''), text('.place'),
            count ? `${count} ${count === 1 ? 'block' : 'blocks'} inside` : ''].filter(Boolean).join(', ');
  });
}

// Where the value of the next line from `at` that shows `type` and `name` in their columns
// begins; -1 when there is none.
function fieldLine(text, at, type, name) {
  const escape = (s) => s.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
  const re = new RegExp(` ${escape(type)} +${escape(name)} +`, 'g');
  re.lastIndex = at;
  const m = re.exec(text);
  return m ? m.index + m[0].length : -1;
}

// Lines of --explain for an offset, one answer each (as the holders list shows them).
function answersOf(offset) {
  const answers = [];
  for (const line of run(SAMPLE, `--explain=${hex(offset)}`, '-o', '-').toString('utf8').split('\n')) {
    if (line === '') continue;
    if (!line.startsWith(' ')) answers.push([line]); else answers[answers.length - 1].push(line);
  }
  return answers.map((a) => a.join('\n'));
}

// ---------------------------------------------------------------------------------------

for (const [mode, held] of MODES)
test(`the tree holds the text report's top-level blocks, and every field shows the report's value (${mode})`, async () => {
  const { page, context, faults } = await openFile(SAMPLE, held);
  const titles = topLevelTitles(sampleReport);
  assert.deepEqual(await topLevelNames(page), titles);

  // Every block, reached by the keyboard alone: Home, then Right (open) and Down to the end.
  const tree = page.getByRole('tree');
  await tree.focus();
  await page.keyboard.press('Home');
  let at = 0;
  let blocks = 0, fields = 0, runs = 0;
  for (let step = 0; step < 500; ++step) {
    await settled(page);
    // Its name reads as words: what it shows, title, offset, place and count apart; a
    // screen reader (and the role query) finds it by that name.
    const name = await itemName(selectedItem(page));
    assert.equal(await selectedItem(page).getAttribute('aria-label'), name);
    assert.equal(await page.getByRole('treeitem', { name, exact: true, selected: true }).count(), 1, name);
    if (/, 1 of \d+/.test(name)) ++runs;
    const expanded = await selectedItem(page).getAttribute('aria-expanded');
    if (expanded === 'false') {
      await page.keyboard.press('ArrowRight');
      assert.equal(await selectedItem(page).getAttribute('aria-expanded'), 'true');
      // Open, it no longer says what it holds.
      assert.doesNotMatch(await selectedItem(page).getAttribute('aria-label'), /inside$/);
    }
    ++blocks;
    for (const [, type, name, value] of await tableRows(page)) {
      // A field line shows its type, its name and its value; a list's row shows values alone.
      // (A value found before the next line that names the field is a row's.)
      const line = fieldLine(sampleReport, at, type, name);
      const plain = sampleReport.indexOf(value, at);
      const lineStart = line < 0 ? Infinity : sampleReport.lastIndexOf('\n', line) + 1;
      const next = plain >= 0 && plain < lineStart ? plain : line;
      assert.ok(next >= 0, `${name} = ${value} after ${at}`);
      assert.equal(sampleReport.slice(next, next + value.length), value, `${type} ${name}`);
      at = next + value.length;
      ++fields;
    }
    const before = await selectedItem(page).getAttribute('id');
    await page.keyboard.press('ArrowDown');
    await settled(page);
    if (await selectedItem(page).getAttribute('id') === before) break;
  }
  assert.equal(blocks, 56);
  assert.equal(fields, 396);
  assert.ok(runs > 0, 'the first block of a run says so');
  // Up, Left (to the parent) and End move as a tree does; the item selected is found by its name.
  const press = async (key) => { await page.keyboard.press(key); await settled(page); };
  const selectedNamed = (name) => page.getByRole('treeitem', { name, selected: true });
  await press('End');
  assert.equal(await selectedNamed(titles[titles.length - 1]).count(), 1);
  assert.match(titles[titles.length - 1], /^FPOD_HEADER at /);
  await press('Home');
  assert.equal(await selectedNamed(titles[0]).count(), 1);
  assert.match(titles[0], /^NM32_HEADER at /);
  await press('ArrowDown');
  await press('ArrowDown');
  assert.equal(await selectedItem(page).getAttribute('aria-level'), '2');
  await press('ArrowLeft');
  assert.equal(await selectedNamed(titles[1]).count(), 1);
  assert.match(titles[1], /^NMDR_HEADER at /);
  await press('ArrowLeft');
  assert.equal(await selectedItem(page).getAttribute('aria-expanded'), 'false');
  assert.match(await selectedItem(page).getAttribute('aria-label'), /, \d+ blocks? inside$/);
  assert.deepEqual(faults, []);
  await context.close();
});

for (const [mode, held] of MODES)
test(`a click on a byte lists the holders --explain gives for it, for 50 offsets (${mode})`, async () => {
  const { page, context, faults } = await openFile(SAMPLE, held);
  const offsets = Array.from({ length: 50 }, (_, i) => Math.floor((i * sampleBytes.length) / 50) + (i % 7));
  for (const offset of offsets) {
    await page.getByLabel('Offset', { exact: true }).fill(hex(offset));
    await page.getByLabel('Offset', { exact: true }).press('Enter');
    await settled(page);
    await page.getByRole('gridcell', { name: cellName(offset), exact: true }).click();
    await settled(page);
    const answers = answersOf(offset);
    const holders = page.getByRole('list', { name: 'Holders' }).getByRole('listitem');
    await page.waitForFunction((n) => document.querySelectorAll('#holders li').length === n, answers.length);
    assert.deepEqual(await holders.allTextContents(), answers, hex(offset));
    assert.equal(await page.getByRole('gridcell', { selected: true }).getAttribute('aria-label'), cellName(offset));
    // The byte itself, whether the page holds the file or the worker sent it with a window.
    assert.equal(await page.getByRole('gridcell', { selected: true }).textContent(),
                 byteHex(sampleBytes, offset));
    assert.equal(new URL(page.url()).hash, '#' + hex(offset));
  }
  assert.deepEqual(faults, []);
  await context.close();
});

for (const [mode, held] of MODES)
test(`a byte clicked while another place is on its way is where the page ends (${mode})`, async () => {
  const { page, context, faults } = await openFile(SAMPLE, held);
  const far = sampleBytes.length - 3;
  // The place asked for, and in the same task a click on a byte in view (the first row's
  // second byte: a page that holds windows shows the old place until the new one's come):
  // the answers about the first place come after the click.
  const clicked = await page.evaluate((to) => {
    const box = document.getElementById('goto');
    box.value = '0x' + to.toString(16);
    box.dispatchEvent(new KeyboardEvent('keydown', { key: 'Enter', bubbles: true }));
    const cell = document.querySelectorAll('#hex [role=gridcell]')[1];
    cell.click();
    return Number(cell.dataset.offset);
  }, far);
  assert.notEqual(clicked, far);
  await settled(page);
  const answers = answersOf(clicked);
  await page.waitForFunction((n) => document.querySelectorAll('#holders li').length === n, answers.length);
  await page.waitForTimeout(300);
  await settled(page);
  assert.equal(await page.getByRole('gridcell', { selected: true }).getAttribute('aria-label'), cellName(clicked));
  assert.equal(new URL(page.url()).hash, '#' + hex(clicked));
  assert.deepEqual(await page.getByRole('list', { name: 'Holders' }).getByRole('listitem').allTextContents(), answers);
  assert.deepEqual(faults, []);
  await context.close();
});

for (const [mode, held] of MODES)
test(`following offProcDef lands on the procedures; back and forward move between places (${mode})`, async () => {
  const { page, context, faults } = await openFile(SAMPLE, held);
  await page.getByLabel('Offset', { exact: true }).fill('0x64B');
  await page.getByLabel('Offset', { exact: true }).press('Enter');
  await settled(page);
  const row = page.locator('#fields tr.selected');
  assert.equal(await row.locator('td').nth(2).textContent(), 'offProcDef');
  // Each link is named by what is there: the field itself, and where it leads.
  assert.equal(await row.getByRole('link', { name: 'offProcDef at 0x64B', exact: true }).count(), 1);
  const link = row.getByRole('link').last();
  const target = await link.textContent();
  assert.equal(await row.getByRole('link', { name: new RegExp(`^(block|elements) at ${target}$`) }).count(), 1);
  await link.click();
  await settled(page);
  const json = JSON.parse(run(SAMPLE, '--json', '-o', '-').toString('utf8'));
  const procedures = [];
  const visit = (blocks) => { for (const b of blocks) { if (hex(b.offset ?? -1) === target) procedures.push(b.block); visit(b.blocks ?? []); } };
  visit(json.blocks);
  assert.ok(procedures.length > 0 && /PROC/.test(procedures[0]), procedures.join());
  assert.match(await selectedItem(page).getAttribute('aria-label'), new RegExp(`^${procedures[0]} at ${target}(, |$)`));
  assert.equal(await selectedItem(page).locator('.title').textContent(), procedures[0]);
  assert.equal(await selectedItem(page).locator('.off').textContent(), target);
  assert.equal(new URL(page.url()).hash, '#' + target);
  await page.goBack();
  await page.waitForFunction(() => location.hash === '#0x64B');
  await settled(page);
  assert.equal(await page.locator('#fields tr.selected td').nth(2).textContent(), 'offProcDef');
  await page.goForward();
  await page.waitForFunction((t) => document.querySelector('[role=treeitem][aria-selected=true] .off')?.textContent === t, target);
  assert.deepEqual(faults, []);
  await context.close();
});

test('search finds a name, whether the page holds every field or a window', async () => {
  const found = {};
  for (const [mode, held] of MODES) {
    const { page, context, faults } = await openFile(SAMPLE, held);
    await page.getByRole('searchbox').fill('MAIN');
    const results = page.getByRole('list', { name: 'Search results' }).getByRole('button');
    await page.waitForFunction(() => /found|^sample/.test(document.getElementById('status').textContent) &&
                                     document.querySelectorAll('#results button').length > 0);
    await page.waitForTimeout(300);
    found[mode] = await results.allTextContents();
    assert.ok(found[mode].some((t) => t.toLowerCase().includes('main')), found[mode].join('\n'));
    // A result is named as it reads: "name value in block at offset".
    const last = await results.last().textContent();
    const named = last.replace(/ (0x[0-9A-F]+)$/, ' at $1');
    assert.notEqual(named, last);
    assert.equal(await page.getByRole('button', { name: named, exact: true }).count(), 1, named);
    await results.last().click();
    await settled(page);
    assert.ok((await page.locator('#fields tr.selected td').nth(3).textContent()).toLowerCase().includes('main'));
    assert.deepEqual(faults, []);
    await context.close();
  }
  // The worker's search finds what the page finds among the fields it holds.
  assert.deepEqual(found['windows of fields'], found['every field held']);
});

test('copy as text gives the report\'s lines of each top-level block', async () => {
  const { page, context, faults } = await openFile(SAMPLE);
  // The text of every top-level block, one after another, is the whole report after its banner.
  const banner = sampleReport.split('\n').slice(0, 3).join('\n') + '\n';
  let joined = banner;
  const top = page.locator('[role=treeitem][aria-level="1"]');
  const count = await top.count();
  for (let i = 0; i < count; ++i) {
    await top.nth(i).click();
    await page.getByRole('button', { name: 'Copy as text' }).click();
    const box = page.getByLabel('Text of the block');
    await box.waitFor();
    joined += await box.inputValue();
    await page.getByRole('button', { name: 'Close' }).click();
  }
  assert.equal(joined, sampleReport);
  assert.deepEqual(faults, []);
  await context.close();
});

test('a damaged database shows where and why the walk stopped, as an alert with a link there', async () => {
  for (const size of [0x300, 0x640, 0x800]) {
    const path = join(OUT, `damaged-${size}.nms`);
    writeFileSync(path, sampleBytes.subarray(0, size));
    const report = reportOf(path);
    const errorLine = report.trimEnd().split('\n').pop();
    assert.match(errorLine, /^ERROR in /);
    const { page, context, faults } = await openFile(path);
    const alert = page.getByRole('alert');
    assert.ok((await alert.textContent()).includes(errorLine), await alert.textContent());
    const header = /^ERROR in (\S+)/.exec(errorLine)[1];
    assert.ok((await alert.textContent()).includes(header));
    assert.deepEqual(await topLevelNames(page), topLevelTitles(report));
    const link = alert.getByRole('link');
    const place = await link.textContent();
    await link.click();
    assert.equal(new URL(page.url()).hash, '#' + place.replace('Go to ', ''));
    if (size === 0x640) await page.screenshot({ path: join(OUT, 'viewer-damaged.png') });
    assert.deepEqual(faults, [], `truncated to ${size}`);
    await context.close();
  }
});

test('the section switches walk again without the sections left out', async () => {
  const { page, context, faults } = await openFile(SAMPLE);
  // Each switch walks again: its walk is waited for before the next (a walk asked before
  // another's answer came is dropped, so the count of walks drawn would not say which).
  await page.getByRole('switch', { name: 'NMTP' }).click();
  await walked(page, 2);
  assert.deepEqual(await topLevelNames(page), topLevelTitles(reportOf(SAMPLE, '-NMTP')));
  await page.getByRole('switch', { name: 'SYMD' }).click();
  await walked(page, 3);
  assert.deepEqual(await topLevelNames(page), topLevelTitles(reportOf(SAMPLE, '-NMTP', '-SYMD')));
  assert.deepEqual(faults, []);
  await context.close();
});

test('the --html page holds the database, keeps its place across a reload, and is the same every time', async () => {
  const html = join(OUT, 'sample.html');
  run(SAMPLE, '--html', '-o', html);
  const again = run(SAMPLE, '--html', '-o', '-');
  assert.ok(readFileSync(html).equals(again), 'the same page every time, to a file and to standard output');
  for (const scheme of ['light', 'dark']) {
    const { page, context, faults } = await openPage(pathToFileURL(html).href, { colorScheme: scheme });
    await walked(page);
    assert.equal(await page.locator('#name').textContent(), 'sample.nms');
    await page.getByLabel('Offset', { exact: true }).fill('0x64B');
    await page.getByLabel('Offset', { exact: true }).press('Enter');
    await page.waitForFunction(() => document.querySelectorAll('#holders li').length > 0);
    await page.screenshot({ path: join(OUT, `viewer-sample-${scheme}.png`) });
    await page.reload();
    await walked(page);
    assert.equal(new URL(page.url()).hash, '#0x64B');
    assert.equal(await page.getByRole('gridcell', { selected: true, name: cellName(0x64B), exact: true }).count(), 1);
    assert.equal(await page.locator('#fields tr.selected td').nth(2).textContent(), 'offProcDef');
    assert.deepEqual(faults, []);
    await context.close();
  }
});
