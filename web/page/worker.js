// The engine runs here, never on the page's thread: decoding a recording or listening to the
// microphone must not stall the page. The page sends requests with an id and gets one answer per
// id; a reading from the microphone takes its sound straight from the audio worklet's port and
// reports its progress until it ends.
import createZendrik from './engine/zendrik.js';
import { zoneChanges } from './zone.js';

const FORMATS = ['fit', 'tcx', 'hrm', 'hrm-compat', 'csv', 'json', 'sld', 'wav'];

// Loading starts at once; every request waits for it, so one sent early is not lost. The page
// fetches the wasm itself: the engine's own loader in a module worker needs the server to send it
// as application/wasm, which not every static host does.
async function load() {
  const response = await fetch(new URL('./engine/zendrik.wasm', import.meta.url));
  if (!response.ok) throw new Error(`the decoder's file engine/zendrik.wasm cannot be loaded (${response.status})`);
  return createZendrik({ wasmBinary: await response.arrayBuffer() });
}
const loading = load();
let engine = null;
let reading = null;

function engineSettings(s) {
  return { model: s.model, today: s.today, zone: zoneChanges(s.zone) };
}

// The engine's answer as plain values the page can take: its bytes copied out of the engine's
// memory (which the next call may reuse), their buffers handed over rather than cloned.
function plainResult(r) {
  const files = {};
  const transfer = [];
  for (const f of FORMATS) {
    const bytes = r.files && r.files[f];
    if (!bytes) continue;
    const copy = new Uint8Array(bytes);
    files[f] = copy;
    transfer.push(copy.buffer);
  }
  const refused = {};
  for (const f of FORMATS) {
    if (r.refused && typeof r.refused[f] === 'string') refused[f] = r.refused[f];
  }
  return {
    result: {
      state: r.state,
      kind: r.kind,
      reason: r.reason || '',
      valid: !!r.valid,
      baseName: r.baseName || '',
      files,
      refused,
    },
    transfer,
  };
}

function answer(id, r, extra = {}) {
  const { result, transfer } = plainResult(r);
  postMessage({ id, result, ...extra }, transfer);
}

function progressOf(live) {
  const p = live.progress();
  return {
    state: p.state,
    stateText: p.stateText,
    received: p.received,
    expected: p.expected,
    peak: p.peak,
    advice: p.advice,
  };
}

// How long the engine took for how much sound: the page shows it to tests as the decoding cost.
function costOf(r) {
  return { busyMs: r.busyMs, soundSeconds: r.samples / r.sampleRate };
}

function endReading(settings) {
  const r = reading;
  if (!r) return;
  reading = null;
  r.port.onmessage = null;
  r.port.close();
  const t0 = performance.now();
  let result;
  try {
    result = r.live.finish(engineSettings(settings || r.settings));
  } finally {
    r.busyMs += performance.now() - t0;
    r.live.delete();
  }
  answer(r.id, result, { cost: costOf(r) });
}

function startReading(id, port, sampleRate, settings) {
  const live = engine.listen(sampleRate, engineSettings(settings));
  const r = { id, port, live, settings, sampleRate, samples: 0, busyMs: 0, lastPost: 0, lastState: -1 };
  reading = r;
  port.onmessage = (event) => {
    if (reading !== r) return;
    try {
      feedBlock(r, event.data);
    } catch (e) {
      fail(r, e);
    }
  };
  postMessage({ id, progress: progressOf(live) });
}

function fail(r, e) {
  if (reading === r) reading = null;
  r.port.onmessage = null;
  try { r.live.delete(); } catch { /* already gone */ }
  postMessage({ id: r.id, error: String((e && e.message) || e) });
}

function feedBlock(r, block) {
  const { id, live } = r;
  const t0 = performance.now();
  live.feed(block);
  const complete = live.complete();
  const p = progressOf(live);
  const now = performance.now();
  r.busyMs += now - t0;
  r.samples += block.length;
  if (complete) {
    postMessage({ id, progress: p });
    endReading();
    return;
  }
  // A few updates a second are plenty for the eye and for a screen reader.
  if (p.state !== r.lastState || now - r.lastPost > 150) {
    r.lastState = p.state;
    r.lastPost = now;
    postMessage({ id, progress: p });
  }
}

async function handle(msg) {
  const { id, op } = msg;
  engine = await loading;
  switch (op) {
    case 'init': {
      const models = engine.models().map((m) => ({ number: m.number, name: m.name }));
      postMessage({ id, models });
      return;
    }
    case 'openFile': {
      const t0 = performance.now();
      const r = engine.openFile(new Uint8Array(msg.bytes), msg.name, engineSettings(msg.settings));
      answer(id, r, { ms: performance.now() - t0 });
      return;
    }
    case 'openSound': {
      const t0 = performance.now();
      const r = engine.openSound(msg.channels, msg.sampleRate, engineSettings(msg.settings));
      answer(id, r, { ms: performance.now() - t0 });
      return;
    }
    case 'listen':
      if (reading) endReading();
      startReading(id, msg.port, msg.sampleRate, msg.settings);
      return;
    case 'stop':
      endReading(msg.settings);
      return;
    default:
      postMessage({ id, error: `unknown request ${op}` });
  }
}

onmessage = async (event) => {
  const msg = event.data;
  try {
    await handle(msg);
  } catch (e) {
    // The engine failing (out of memory, a fault) ends that request, not the page.
    if (reading && reading.id === msg.id) fail(reading, e);
    else postMessage({ id: msg.id, error: String((e && e.message) || e) });
  }
};
