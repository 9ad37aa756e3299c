// The page's side of the worker: answers found by their id whatever their order, a late
// answer dropped once a later request of its channel was made.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { makeWorkerClient } from '../../viewer/worker-client.mjs';

// A worker that answers when told to: sent holds what the page posted.
function fakePort() {
  const port = { sent: [], postMessage(m) { port.sent.push(m); } };
  port.answer = (m, extra = {}) => port.onmessage({ data: { type: m.type, id: m.id, ...extra } });
  return port;
}
const settled = () => new Promise((done) => setTimeout(done, 0));

test('answers reach their own requests, in whatever order they come', async () => {
  const port = fakePort();
  const client = makeWorkerClient(port, () => {});
  const got = [];
  client.ask('explain', { type: 'explain', offset: 1 }).then((m) => got.push(['explain', m.text]));
  client.ask('text', { type: 'text' }).then((m) => got.push(['text', m.text]));
  client.ask('fields', { type: 'fields' }).then((m) => got.push(['fields', m.text]));
  const [explain, text, fields] = port.sent;
  assert.ok(new Set([explain.id, text.id, fields.id]).size === 3, 'each its own id');
  assert.ok(client.waiting('fields'));
  port.answer(fields, { text: 'f' });
  port.answer(explain, { text: 'e' });
  port.answer(text, { text: 't' });
  port.answer(text, { text: 'again' });  // an answer twice: the second is nobody's
  await settled();
  assert.deepEqual(got, [['fields', 'f'], ['explain', 'e'], ['text', 't']]);
  assert.ok(!client.waiting('fields'));
});

test('a late answer never undoes a later request of its channel', async () => {
  // Go to one place, then click a byte before its fields have come: the page ends on the
  // byte, whichever answer comes first.
  for (const order of [['first', 'second'], ['second', 'first']]) {
    const port = fakePort();
    const client = makeWorkerClient(port, () => {});
    const drawn = [];
    client.ask('fields', { type: 'fields', at: 0x3000000 }).then(() => drawn.push('first'));
    client.ask('explain', { type: 'explain', offset: 0x3000000 }).then(() => drawn.push('holders of first'));
    client.ask('fields', { type: 'fields', at: 0x40 }).then(() => drawn.push('second'));
    client.ask('explain', { type: 'explain', offset: 0x40 }).then(() => drawn.push('holders of second'));
    const [first, firstExplain, second, secondExplain] = port.sent;
    for (const which of order) port.answer(which === 'first' ? first : second);
    port.answer(secondExplain);
    port.answer(firstExplain);
    await settled();
    assert.deepEqual(drawn, ['second', 'holders of second'], order.join());
  }
  // The page went elsewhere without asking: the request that waits is dropped, the next one
  // answered.
  const port = fakePort();
  const client = makeWorkerClient(port, () => {});
  const drawn = [];
  client.ask('fields', { type: 'fields' }).then(() => drawn.push('dropped'));
  client.cancel('fields');
  assert.ok(!client.waiting('fields'));
  client.ask('fields', { type: 'fields' }).then(() => drawn.push('next'));
  port.answer(port.sent[0]);
  port.answer(port.sent[1]);
  await settled();
  assert.deepEqual(drawn, ['next']);
});

test('the worker\'s failure is told, and ready comes once the module is loaded', async () => {
  const port = fakePort();
  const failures = [];
  const client = makeWorkerClient(port, (message) => failures.push(message));
  let ready = false;
  client.ready.then(() => { ready = true; });
  await settled();
  assert.equal(ready, false);
  client.send({ type: 'init' });
  assert.deepEqual(port.sent, [{ type: 'init' }], 'no id on a message with no answer');
  port.onmessage({ data: { type: 'ready' } });
  await settled();
  assert.equal(ready, true);
  client.ask('walk', { type: 'walk' });
  port.onmessage({ data: { type: 'failed', id: port.sent[1].id, message: 'no memory' } });
  assert.deepEqual(failures, ['no memory']);
  assert.ok(!client.waiting('walk'));
});
