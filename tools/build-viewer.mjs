#!/usr/bin/env node
// Builds the viewer's one self-contained page from viewer/ and the WebAssembly core:
//
//   build-viewer.mjs VIEWER_DIR CORE_GLUE.mjs CORE.wasm OUT_DIR
//
// writes OUT_DIR/symdeck-viewer.html (the page without a database: it opens one by its
// picker) and OUT_DIR/viewer_page.cpp, the same page as the program's --html embeds it, in
// the four pieces around the places it fills. The style, the
// scripts and the module (base64) are inlined; nothing in the page is fetched. The same
// inputs give the same bytes.
//
// The page's script (from viewer/main.mjs) and the worker's (viewer/worker.mjs) are ES
// modules; each is joined here with the modules it imports into one classic script, as a
// page opened from a file may load no module and its policy allows no other source.
import { readFileSync, writeFileSync, mkdirSync } from 'node:fs';
import { dirname, join, relative, resolve } from 'node:path';

const [viewerDir, gluePath, wasmPath, outDir] = process.argv.slice(2);
if (!outDir) {
  console.error('usage: build-viewer.mjs VIEWER_DIR CORE_GLUE.mjs CORE.wasm OUT_DIR');
  process.exit(2);
}
const read = (path) => readFileSync(path, 'utf8');
const fail = (text) => { console.error(`build-viewer: ${text}`); process.exit(1); };

// A module and those it imports as one script. Each module's body runs in a function of
// its own (its top-level names stay its own) that returns its exports; its imports become
// names read from the modules before it. The order is the one a depth-first walk of the
// imports from `entry` meets them in, the same every build. The forms of import and
// export the viewer uses, and no others: import {a, b as c} or * as m from a relative
// path; export before function, const, let or class.
const IMPORT = /^import\s+(\{[^}]*\}|\*\s+as\s+\w+)\s+from\s+'(\.{1,2}\/[^']+)';?[ \t]*$/gm;
const EXPORT = /^export\s+((?:async\s+)?function\*?|const|let|class)\s+([\w$]+)/gm;
function bundle(entry) {
  const names = new Map();  // path -> its module's name in the script (null while read)
  const exports = new Map();  // a module's name -> the names it exports
  const parts = [];
  const visit = (path) => {
    if (names.has(path)) {
      if (names.get(path) === null) fail(`${path} is imported in a cycle`);
      return names.get(path);
    }
    names.set(path, null);
    const where = relative(viewerDir, path);
    let body = read(path).replace(IMPORT, (_, what, from) => {
      const module = visit(resolve(dirname(path), from));
      if (what.startsWith('*')) return `const ${what.split(/\s+/).pop()} = ${module};`;
      // Each name imported is one its module exports (an export this script does not see,
      // such as a second name in one declaration, fails here instead of in the page).
      for (const imported of what.slice(1, -1).split(',').map((s) => s.trim().split(/\s+/)[0]).filter(Boolean))
        if (!exports.get(module).includes(imported)) fail(`${where} imports ${imported}, which ${from} does not export`);
      return `const ${what.replace(/\b([\w$]+)\s+as\s+([\w$]+)/g, '$1: $2')} = ${module};`;
    });
    const exported = [];
    body = body.replace(EXPORT, (_, keyword, name) => { exported.push(name); return `${keyword} ${name}`; });
    if (/^\s*(import|export)\b/m.test(body)) fail(`${where}: an import or export of a form not joined here`);
    const name = 'module_' + where.replace(/\.m?js$/, '').replace(/[^\w]/g, '_');
    parts.push(`// ${where}\nconst ${name} = (() => {\n${body.trimEnd()}\nreturn { ${exported.join(', ')} };\n})();\n`);
    names.set(path, name);
    exports.set(name, exported);
    return name;
  };
  visit(resolve(entry));
  return `'use strict';\n(() => {\n${parts.join('\n')}})();\n`;
}

// The glue is a module; the worker's script begins with it: its exports become plain names.
const glue = read(gluePath).replace(/^export /gm, '');
const worker = glue + '\n' + bundle(join(viewerDir, 'worker.mjs'));
const script = bundle(join(viewerDir, 'main.mjs'));
const style = read(join(viewerDir, 'viewer.css'));
const wasm = readFileSync(wasmPath).toString('base64').replace(/.{1,120}/g, '$&\n');

// Inside a script or style element, nothing may close it early.
for (const [name, text] of [['worker', worker], ['script', script], ['style', style]]) {
  if (/<\/(script|style)/i.test(text) || text.includes('/*@')) {
    fail(`${name} holds text that would end its element or a marker`);
  }
}
const template = read(join(viewerDir, 'index.html'))
  .replace('/*@STYLE@*/', () => style)
  .replace('/*@WORKER@*/', () => worker)
  .replace('/*@SCRIPT@*/', () => script)
  .replace('/*@WASM@*/', () => '\n' + wasm);

// The program fills three places: the section flags (the kinds left out, as a number), the
// database's name, and its bytes in base64.
const pieces = template.split(/\/\*@(?:LEFTOUT|NAME|DATABASE)@\*\//);
if (pieces.length !== 4 || !template.includes('/*@LEFTOUT@*/" data-name="/*@NAME@*/">/*@DATABASE@*/')) {
  console.error('build-viewer: the page has no place for the database');
  process.exit(1);
}
mkdirSync(outDir, { recursive: true });
writeFileSync(join(outDir, 'symdeck-viewer.html'), pieces.join(''));

// The program's copy: four byte arrays.
const array = (name, text) => {
  const bytes = Buffer.from(text, 'utf8');
  const lines = [];
  for (let i = 0; i < bytes.length; i += 32) lines.push(Array.from(bytes.subarray(i, i + 32)).join(','));
  return `extern const unsigned char ${name}[] = {\n${lines.join(',\n')}${bytes.length ? '' : '0'}\n};\n` +
         `extern const size_t ${name}Size = ${bytes.length};\n`;
};
writeFileSync(join(outDir, 'viewer_page.cpp'),
  '// Generated by tools/build-viewer.mjs from viewer/ and symdeck-core.wasm: do not edit.\n' +
  '#include <cstddef>\n\nnamespace symdeck::viewer_page {\n\n' +
  array('kBeforeLeftOut', pieces[0]) + array('kBeforeName', pieces[1]) + array('kBeforeBytes', pieces[2]) +
  array('kAfterBytes', pieces[3]) +
  '\n}  // namespace symdeck::viewer_page\n');
