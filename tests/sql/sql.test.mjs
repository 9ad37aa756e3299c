// The queries of docs/sql.md, run in DuckDB (its node package, pinned in package-lock.json)
// over the table form of the sample and of a folder of databases, each query's rows compared
// with what the page shows. The page's `$ ` lines are the commands: the program's run by
// the shell in a work folder that holds build/sample.nms and corpus/*.nms, the `duckdb -csv -c`
// ones through the node package, their rows written as CSV (a header line, NULL as an empty
// field, a text quoted where it holds a comma, a quote or a line break).
//
// SYMDECK, SAMPLE, CORPUS (fuzz/corpus: each file a selection byte and a database), PAGE and
// OUT_DIR come from the environment (tests/CMakeLists.txt).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { DuckDBInstance } from '@duckdb/node-api';

const env = (name) => {
    const value = process.env[name];
    if (!value) throw new Error(`${name} is not set (run through ctest)`);
    return value;
};

// The work folder as the page describes it.
function prepare() {
    const work = env('OUT_DIR');
    fs.rmSync(work, { recursive: true, force: true });
    fs.mkdirSync(path.join(work, 'corpus'), { recursive: true });
    fs.mkdirSync(path.join(work, 'build'));
    fs.copyFileSync(env('SAMPLE'), path.join(work, 'build', 'sample.nms'));
    const corpus = env('CORPUS');
    for (const name of fs.readdirSync(corpus).sort()) {
        const bytes = fs.readFileSync(path.join(corpus, name));
        fs.writeFileSync(path.join(work, 'corpus', `${name}.nms`), bytes.subarray(1));
    }
    return work;
}

// The page's commands, in order: { command, expected } with the lines shown after each.
export function commandsOf(page) {
    const commands = [];
    const blocks = page.split(/^```/m).filter((_, i) => i % 2 === 1);
    for (const block of blocks) {
        if (!block.startsWith('sh\n')) continue;
        const lines = block.slice(3).split('\n');
        let current = null;
        for (let i = 0; i < lines.length; ++i) {
            const line = lines[i];
            if (line.startsWith('$ ')) {
                let command = line.slice(2);
                // A duckdb command goes on to the line that closes its quote.
                if (command.startsWith('duckdb ')) {
                    while (!/"$/.test(command) && i + 1 < lines.length) command += '\n' + lines[++i];
                }
                current = { command, expected: [] };
                commands.push(current);
            } else if (current && !(line === '' && i === lines.length - 1)) {
                current.expected.push(line);
            }
        }
    }
    return commands;
}

const csvText = (value) => {
    if (value === null || value === undefined) return '';
    const text = typeof value === 'bigint' || typeof value === 'number' || typeof value === 'boolean'
        ? String(value) : value.toString();
    return /[",\n\r]/.test(text) ? `"${text.replaceAll('"', '""')}"` : text;
};

async function rowsOf(connection, sql) {
    const reader = await connection.runAndReadAll(sql);
    const lines = [reader.columnNames().map(csvText).join(',')];
    for (const row of reader.getRows()) lines.push(row.map(csvText).join(','));
    return lines;
}

test('every query of docs/sql.md prints what the page shows', async () => {
    const work = prepare();
    const page = fs.readFileSync(env('PAGE'), 'utf8');
    const commands = commandsOf(page);
    const queries = commands.filter((c) => c.command.startsWith('duckdb '));
    assert.ok(queries.length >= 6, `the page has ${queries.length} queries`);
    // Relative names in the queries are the work folder's.
    process.chdir(work);
    const instance = await DuckDBInstance.create(':memory:');
    const connection = await instance.connect();
    const bin = path.dirname(env('SYMDECK'));
    for (const { command, expected } of commands) {
        if (!command.startsWith('duckdb ')) {
            const output = execFileSync('/bin/sh', ['-c', command], {
                cwd: work, encoding: 'utf8', env: { ...process.env, PATH: `${bin}:${process.env.PATH}` },
            });
            assert.deepEqual(output.split('\n').filter((l) => l !== ''), expected, command);
            continue;
        }
        const match = /^duckdb -csv -c "([^]*)"$/.exec(command);
        assert.ok(match, `a query as duckdb -csv -c "...": ${command}`);
        assert.deepEqual(await rowsOf(connection, match[1]), expected, match[1]);
    }
});
