// The page: settings, the microphone, opened files, and the exercise with its downloads. All
// decoding happens in the worker (worker.js); this thread only moves sound and shows results.
import { drawChart } from './chart.js';
import { fillLaps, fillSummary } from './exercise.js';
import { soundRate, unreadableReason } from './sniff.js';
import { deviceZone, isKnownZone, knownZones, todayUtc } from './zone.js';

const $ = (id) => document.getElementById(id);
const params = new URLSearchParams(location.search);
// Test mode: ?rate=48000 runs the microphone's AudioContext at that rate (the rate phones give)
// where the device would pick another.
const forcedRate = Number(params.get('rate')) || 0;
const MAX_FILE = 1024 ** 3;

const DOWNLOADS = [
  { format: 'fit', ext: 'fit', label: 'FIT', note: 'for training platforms', type: 'application/vnd.ant.fit' },
  { format: 'tcx', ext: 'tcx', label: 'TCX', note: 'Training Center', type: 'application/vnd.garmin.tcx+xml' },
  { format: 'hrm', ext: 'hrm', label: 'HRM', note: 'Enhanced', type: 'text/plain' },
  { format: 'hrm-compat', ext: 'hrm', label: 'HRM', note: 'Polar Compatible', type: 'text/plain' },
  { format: 'csv', ext: 'csv', label: 'CSV', note: 'spreadsheet', type: 'text/csv' },
  { format: 'json', ext: 'json', label: 'JSON', note: 'the whole transfer', type: 'application/json' },
  { format: 'sld', ext: 'sld', label: 'Dump', note: 'the received bytes', type: 'application/octet-stream' },
  // Only after a reading from the microphone that decoded nothing.
  { format: 'wav', ext: 'wav', label: 'Recording', note: 'what the microphone heard', type: 'audio/wav' },
];

// A name for what has no exercise date to be named by: the local time it was made.
function recordingName() {
  const d = new Date();
  const two = (n) => String(n).padStart(2, '0');
  return `recording-${d.getFullYear()}${two(d.getMonth() + 1)}${two(d.getDate())}-${two(d.getHours())}${two(d.getMinutes())}`;
}

// What tests and the curious can read: the engine's cost for the last decoding.
const stats = { listen: null, openMs: null, opened: 0, pending: 0 };
window.zendrikStats = stats;

// ---- the worker ----------------------------------------------------------------------------

const worker = new Worker(new URL('./worker.js', import.meta.url), { type: 'module' });
const pending = new Map();
let nextId = 1;

worker.onmessage = (event) => {
  const msg = event.data;
  const p = pending.get(msg.id);
  if (!p) return;
  if (msg.progress) {
    if (p.onProgress) p.onProgress(msg.progress);
    return;
  }
  pending.delete(msg.id);
  if (msg.error !== undefined) p.reject(new Error(msg.error));
  else p.resolve(msg);
};
// A worker that could not load its scripts is gone for good: what waits on it and what is asked
// of it later fails at once rather than never answering.
let workerLost = null;
worker.onerror = (event) => {
  workerLost = new Error(event.message || 'the decoder could not start');
  for (const p of pending.values()) p.reject(workerLost);
  pending.clear();
};

// Sends a request; throws at once when the payload cannot be sent (a buffer that cannot be
// handed over, say), so the caller may send it another way.
function call(op, payload = {}, transfer = [], onProgress = null) {
  const id = nextId++;
  if (workerLost) return { id, done: Promise.reject(workerLost) };
  const done = new Promise((resolve, reject) => pending.set(id, { resolve, reject, onProgress }));
  try {
    worker.postMessage({ id, op, ...payload }, transfer);
  } catch (e) {
    pending.delete(id);
    throw e;
  }
  return { id, done };
}

// ---- state and settings --------------------------------------------------------------------

function setState(state, text) {
  document.body.dataset.state = state;
  if (text !== undefined) $('status').textContent = text;
}

const store = {
  get(key) {
    try { return localStorage.getItem(`zendrik.${key}`); } catch { return null; }
  },
  set(key, value) {
    try { localStorage.setItem(`zendrik.${key}`, value); } catch { /* private mode: not kept */ }
  },
};

function settings() {
  return { model: Number($('model').value), zone: $('zone').value, today: todayUtc() };
}

function fillModels(models) {
  const select = $('model');
  for (const m of models) select.add(new Option(m.name, String(m.number)));
  const numbers = models.map((m) => String(m.number));
  const wanted = [params.get('model'), store.get('model')].find((v) => v && numbers.includes(v));
  if (wanted) select.value = wanted;
  select.disabled = false;
}

function fillZones() {
  const select = $('zone');
  const device = deviceZone();
  for (const z of knownZones()) select.add(new Option(z === device ? `${z} (this device)` : z, z));
  const kept = store.get('zone');
  select.value = kept && isKnownZone(kept) && [...select.options].some((o) => o.value === kept) ? kept : device;
}

// ---- results -------------------------------------------------------------------------------

let blobUrls = [];
let shownSeries = null;
let shownExercise = null;

function clearResult() {
  for (const u of blobUrls) URL.revokeObjectURL(u);
  blobUrls = [];
  $('result').hidden = true;
  $('downloads').replaceChildren();
  $('summary').replaceChildren();
  $('chart').replaceChildren();
  $('chart').hidden = true;
  $('laps').replaceChildren();
  $('laps').parentElement.hidden = true;
  $('reason').textContent = '';
  shownExercise = null;
}

function fillDownloads(result) {
  const list = $('downloads');
  const notes = [];
  for (const d of DOWNLOADS) {
    const bytes = result.files[d.format];
    if (!bytes) {
      // A family without the Compatible form is no news; a FIT or TCX the exercise cannot
      // become is, with the writer's reason.
      const refused = result.refused[d.format];
      if (refused && d.format !== 'hrm-compat') notes.push(`${d.label}: not written: ${refused}`);
      continue;
    }
    const li = document.createElement('li');
    const a = document.createElement('a');
    const url = URL.createObjectURL(new Blob([bytes], { type: d.type }));
    blobUrls.push(url);
    a.href = url;
    a.download = `${result.baseName || recordingName()}.${d.ext}`;
    a.dataset.format = d.format;
    a.className = 'button';
    const label = document.createElement('strong');
    label.textContent = d.label;
    const file = document.createElement('span');
    file.className = 'file';
    file.textContent = a.download;
    const note = document.createElement('span');
    note.className = 'note';
    note.textContent = d.note;
    a.append(label, file, note);
    li.appendChild(a);
    list.appendChild(li);
  }
  for (const text of notes) {
    const li = document.createElement('li');
    li.className = 'refused';
    li.textContent = text;
    list.appendChild(li);
  }
  $('downloads-section').hidden = !list.children.length;
}

function showExercise(transfer) {
  const e = transfer.exercise;
  shownExercise = e;
  fillSummary($('summary'), transfer);
  const wide = window.matchMedia('(min-width: 600px)').matches;
  shownSeries = { speed: wide, cadence: wide, altitude: wide };
  drawChart($('chart'), e, shownSeries);
  $('laps').parentElement.hidden = !fillLaps($('laps'), e);
}

function showResult(result) {
  clearResult();
  const decoded = result.state === 'decoded';
  let transfer = null;
  if (result.files.json) {
    try {
      transfer = JSON.parse(new TextDecoder().decode(result.files.json));
    } catch {
      transfer = null;
    }
  }
  const lines = [];
  if (result.reason) lines.push(result.reason);
  if (transfer && transfer.checkMessages && transfer.checkMessages.length) lines.push(...transfer.checkMessages);
  $('reason').textContent = lines.join('\n');
  $('reason').hidden = !lines.length;
  // Shown before it is filled: the chart is drawn at the width it gets.
  $('result').hidden = false;
  $('chart').hidden = !(transfer && transfer.exercise);
  if (transfer && transfer.exercise) showExercise(transfer);
  fillDownloads(result);
  $('result-heading').textContent = decoded ? 'Exercise' : 'Nothing decoded';
  const status = decoded ? 'Decoded: the exercise is shown.' : 'Nothing decoded.';
  setState(decoded ? 'decoded' : 'failed', status);
  $('result').focus();
}

function showFailure(text) {
  clearResult();
  $('result-heading').textContent = 'Nothing decoded';
  $('reason').textContent = text;
  $('reason').hidden = false;
  $('downloads-section').hidden = true;
  $('result').hidden = false;
  setState('failed', 'Nothing decoded.');
  $('result').focus();
}

let resizeTimer = 0;
window.addEventListener('resize', () => {
  clearTimeout(resizeTimer);
  resizeTimer = setTimeout(() => { if (shownExercise) drawChart($('chart'), shownExercise, shownSeries); }, 150);
});

// ---- files ---------------------------------------------------------------------------------

let lastFile = null;  // kept so that a change of model or zone decodes it again

async function decodeInBrowser(bytes) {
  const rate = soundRate(bytes);
  // The browser decodes at the rate of the context it is given: the recording's own where its
  // header tells it, else the rate phones record at.
  const context = new OfflineAudioContext(1, 1, rate >= 8000 && rate <= 192000 ? rate : 48000);
  let buffer;
  try {
    buffer = await context.decodeAudioData(bytes.slice().buffer);
  } catch {
    return null;
  }
  const channels = [];
  for (let c = 0; c < buffer.numberOfChannels; ++c) channels.push(buffer.getChannelData(c));
  return { channels, sampleRate: buffer.sampleRate };
}

async function decodeFile(file) {
  const { bytes, name } = file;
  const t0 = performance.now();
  const copy = bytes.slice().buffer;
  const first = await call('openFile', { bytes: copy, name, settings: settings() }, [copy]).done;
  if (first.result.reason !== 'not-read-here') {
    stats.openMs = first.ms;
    return first.result;
  }
  $('status').textContent = `Decoding ${name}…`;
  const sound = await decodeInBrowser(bytes);
  if (!sound) return null;
  const request = { ...sound, settings: settings() };
  let job;
  try {
    // Handed over rather than copied: ten minutes of sound are a hundred megabytes a channel.
    job = call('openSound', request, sound.channels.map((c) => c.buffer));
  } catch {
    // A browser whose decoded channels cannot be handed over: then they are copied.
    job = call('openSound', request);
  }
  const answer = await job.done;
  stats.openMs = answer.ms;
  stats.browserDecodeMs = performance.now() - t0 - answer.ms;
  return answer.result;
}

// One file at a time, in the order they came: a file opened while another is still decoding (or
// while a change of model decodes it again) waits for it rather than being dropped.
let queue = Promise.resolve();
function serially(job) {
  stats.pending += 1;
  const done = () => { stats.pending -= 1; };
  queue = queue.then(job, job).then(done, done);
  return queue;
}

function openFile(file) {
  if (reading) return queue;
  return serially(async () => {
    if (file.size > MAX_FILE) {
      showFailure(`${file.name} is larger than 1 GiB: open a shorter recording, or a .sld dump.`);
      return;
    }
    setState('ready', `Opening ${file.name}…`);
    try {
      const bytes = new Uint8Array(await file.arrayBuffer());
      lastFile = { bytes, name: file.name };
      await decodeLastFile();
    } catch (e) {
      showFailure(`${file.name} cannot be read: ${e.message}. Open it again, or try another file.`);
    }
  });
}

async function decodeLastFile() {
  const result = await decodeFile(lastFile);
  if (result) showResult(result);
  else showFailure(unreadableReason(lastFile.bytes, lastFile.name));
  stats.opened += 1;
}

$('open').addEventListener('change', () => {
  const file = $('open').files[0];
  $('open').value = '';
  if (file) openFile(file);
});

let dragDepth = 0;
document.addEventListener('dragenter', (e) => {
  if (!e.dataTransfer || ![...e.dataTransfer.types].includes('Files')) return;
  dragDepth += 1;
  document.body.classList.add('dragging');
});
document.addEventListener('dragleave', () => {
  dragDepth = Math.max(0, dragDepth - 1);
  if (!dragDepth) document.body.classList.remove('dragging');
});
document.addEventListener('dragover', (e) => e.preventDefault());
document.addEventListener('drop', (e) => {
  e.preventDefault();
  dragDepth = 0;
  document.body.classList.remove('dragging');
  const file = e.dataTransfer && e.dataTransfer.files[0];
  if (file) openFile(file);
});

function settingsChanged() {
  store.set('model', $('model').value);
  store.set('zone', $('zone').value);
  if (!lastFile || reading) return;
  serially(async () => {
    if (!lastFile || reading) return;
    setState('ready', `Decoding ${lastFile.name} again…`);
    try {
      await decodeLastFile();
    } catch (e) {
      showFailure(`${lastFile.name} cannot be read: ${e.message}.`);
    }
  });
}
$('model').addEventListener('change', settingsChanged);
$('zone').addEventListener('change', settingsChanged);

// ---- the microphone ------------------------------------------------------------------------

let reading = null;

function micError(e) {
  if (!navigator.mediaDevices) {
    return 'This browser gives the page no microphone here: the page must be opened over https ' +
      '(or from this computer as localhost).';
  }
  switch (e && e.name) {
    case 'NotAllowedError':
    case 'SecurityError':
      return 'The microphone is not allowed for this page: allow it in the browser\u2019s site ' +
        'settings, then press Listen again.';
    case 'NotFoundError':
    case 'OverconstrainedError':
      return 'No microphone was found: connect one, or open a recording instead.';
    case 'NotReadableError':
      return 'The microphone is in use by another program or cannot be started: close that ' +
        'program, then press Listen again.';
    default:
      return `The microphone cannot be started (${(e && e.message) || e}): press Listen again, or open a recording instead.`;
  }
}

function showProgress(p) {
  // The live region hears the state and each tenth of the transfer, not every block.
  const tenth = p.expected > 0 ? Math.floor((10 * Math.min(p.received, p.expected)) / p.expected) : -1;
  const spoken = tenth >= 0 ? `${p.stateText} ${tenth * 10} %` : p.stateText;
  if ($('status').textContent !== spoken) $('status').textContent = spoken;
  // The loudest sample (0..32767) on a scale of decibels: a watch held at a distance is tens of
  // decibels below full scale, and a linear meter would barely move for it.
  const db = p.peak > 0 ? 20 * Math.log10(p.peak / 32767) : -Infinity;
  $('level').value = Math.max(0, Math.min(1, 1 + db / 60));
  const bar = $('bytes');
  if (p.expected > 0) {
    bar.max = p.expected;
    bar.value = Math.min(p.received, p.expected);
    $('bytes-text').textContent = `${p.received} of ${p.expected} bytes`;
  } else {
    bar.removeAttribute('value');
    $('bytes-text').textContent = `${p.received} bytes`;
  }
  $('advice').textContent = p.advice || '';
}

async function stopAudio(r) {
  if (r.wakeLock) r.wakeLock.release().catch(() => {});
  r.node.port.postMessage({ port: null });
  r.source.disconnect();
  r.node.disconnect();
  for (const t of r.stream.getTracks()) t.stop();
  await r.context.close().catch(() => {});
}

// While listening the model stays as the reading started with it, and no file opens.
function setControls(enabled) {
  for (const id of ['listen', 'model', 'zone', 'open']) $(id).disabled = !enabled;
}

async function listen() {
  if (reading) return;
  if (!navigator.mediaDevices || !navigator.mediaDevices.getUserMedia) {
    showFailure(micError(null));
    return;
  }
  // Made at once, within the click: phones' browsers let a page start sound only in answer to
  // the user, and an await before it can lose that.
  let context;
  try {
    context = new AudioContext(forcedRate ? { sampleRate: forcedRate } : {});
  } catch (e) {
    showFailure(micError(e));
    return;
  }
  const r = { context };
  reading = r;
  setControls(false);
  context.resume().catch(() => {});
  await queue;  // a file still decoding is shown first, then replaced
  clearResult();
  lastFile = null;
  setState('listening', 'Starting the microphone…');
  try {
    // The watch's tones must reach the decoder as they are: phones' voice processing would
    // cancel, gate or level them.
    r.stream = await navigator.mediaDevices.getUserMedia({
      audio: { echoCancellation: false, noiseSuppression: false, autoGainControl: false, channelCount: 1 },
    });
    await context.audioWorklet.addModule(new URL('./capture-worklet.js', import.meta.url));
    r.source = context.createMediaStreamSource(r.stream);
    r.node = new AudioWorkletNode(context, 'zendrik-capture', {
      numberOfInputs: 1, numberOfOutputs: 0, channelCount: 1, channelCountMode: 'explicit',
    });
  } catch (e) {
    if (r.stream) for (const t of r.stream.getTracks()) t.stop();
    context.close().catch(() => {});
    reading = null;
    setControls(true);
    showFailure(micError(e));
    return;
  }
  const channel = new MessageChannel();
  r.node.port.postMessage({ port: channel.port1 }, [channel.port1]);
  const job = call('listen', { port: channel.port2, sampleRate: context.sampleRate, settings: settings() },
    [channel.port2], showProgress);
  r.id = job.id;
  r.source.connect(r.node);
  // Not waited for: a browser that still holds the sound back keeps this promise pending.
  if (context.state !== 'running') context.resume().catch(() => {});
  try { r.wakeLock = await navigator.wakeLock?.request('screen'); } catch { /* not offered */ }
  $('reading').hidden = false;
  $('stop').hidden = false;
  $('stop').focus();
  try {
    const answer = await job.done;
    stats.listen = { ...answer.cost, sampleRate: context.sampleRate };
    await stopAudio(r);
    showResult(answer.result);
  } catch (e) {
    await stopAudio(r);
    showFailure(`The decoder stopped: ${e.message}. Reload the page and try again.`);
  } finally {
    reading = null;
    $('reading').hidden = true;
    $('stop').hidden = true;
    setControls(true);
  }
}

function stop() {
  if (!reading || !reading.source) return;
  // Sound still on its way is not needed: the reading ends with what has arrived.
  reading.source.disconnect();
  $('status').textContent = 'Stopping…';
  worker.postMessage({ id: reading.id, op: 'stop', settings: settings() });
}

$('listen').addEventListener('click', listen);
$('stop').addEventListener('click', stop);

// ---- start ---------------------------------------------------------------------------------

fillZones();
call('init').done.then((answer) => {
  fillModels(answer.models);
  $('listen').disabled = false;
  setState('ready', 'Ready: press Listen, or open a recording or a dump.');
}, (e) => {
  setState('failed', `The decoder cannot start in this browser (${e.message}). A current browser is needed.`);
});

if ('serviceWorker' in navigator) {
  navigator.serviceWorker.register('sw.js').catch(() => { /* works online all the same */ });
}
