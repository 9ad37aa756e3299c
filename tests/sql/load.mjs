// Loads the table form of one database into a DuckDB database file, as
// `CREATE TABLE t AS SELECT * FROM 'TABLE.csv'` does in DuckDB's shell, and prints the rows
// and the seconds it took. For docs/sql.md's figures:
//   /usr/bin/time -v node tests/sql/load.mjs TABLE.csv DATABASE.duckdb
import { DuckDBInstance } from '@duckdb/node-api';

const [table, file] = process.argv.slice(2);
if (!table || !file) {
    console.error('usage: node tests/sql/load.mjs TABLE.csv DATABASE.duckdb');
    process.exit(2);
}
const start = process.hrtime.bigint();
const instance = await DuckDBInstance.create(file);
const connection = await instance.connect();
await connection.run(`CREATE OR REPLACE TABLE t AS SELECT * FROM '${table.replaceAll("'", "''")}'`);
const rows = (await connection.runAndReadAll('SELECT count(*) FROM t')).getRows()[0][0];
connection.closeSync();
const seconds = Number(process.hrtime.bigint() - start) / 1e9;
console.log(`${rows} rows in ${seconds.toFixed(2)} s`);
