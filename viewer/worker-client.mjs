// The page's side of the worker (worker.mjs): every request carries an id, and its answer
// comes back with it. Requests go on channels (a walk, a window of fields, a search,
// explain, a block's text): a request supersedes the earlier ones of its channel, whose
// answers, should they still come, are dropped. So a late answer never undoes a later
// request: a byte clicked while the fields of another place are on their way is where the
// page ends.
//
//   port: the worker (postMessage, onmessage); onFailed(message): the walk could not run.
export function makeWorkerClient(port, onFailed) {
  let lastId = 0;
  const latest = new Map();   // channel -> the id of its latest request
  const waiting = new Map();  // id -> { channel, done }
  let readyDone;
  const ready = new Promise((done) => { readyDone = done; });
  port.onmessage = (event) => {
    const m = event.data;
    if (m.type === 'ready') { readyDone(); return; }
    if (m.type === 'failed') {
      waiting.delete(m.id);
      onFailed(m.message);
      return;
    }
    const w = waiting.get(m.id);
    if (!w) return;
    waiting.delete(m.id);
    if (latest.get(w.channel) === m.id) w.done(m);
  };
  return {
    ready,
    // Sends `message` with an id; the promise has its answer, or never settles when a later
    // request of the same channel came first.
    ask(channel, message, transfer = []) {
      const id = ++lastId;
      latest.set(channel, id);
      for (const [k, w] of waiting) if (w.channel === channel) waiting.delete(k);
      return new Promise((done) => {
        waiting.set(id, { channel, done });
        port.postMessage({ ...message, id }, transfer);
      });
    },
    // Drops the request of `channel` that waits: its answer, should it come, is nobody's.
    cancel(channel) {
      latest.set(channel, ++lastId);
      for (const [k, w] of waiting) if (w.channel === channel) waiting.delete(k);
    },
    // Whether a request of `channel` waits for its answer.
    waiting(channel) {
      for (const w of waiting.values()) if (w.channel === channel) return true;
      return false;
    },
    // A message with no answer (the module's bytes).
    send(message, transfer = []) { port.postMessage(message, transfer); },
  };
}
