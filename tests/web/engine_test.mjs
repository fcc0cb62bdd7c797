// The browser's engine (web/engine) under node: for every watch family, a dump, the recording
// zendrik-cli synthesizes of it and that recording's sound as the browser hands it over give
// exactly the files zendrik-cli writes for the same input and settings, or fail with its words;
// a live reading fed the recording in small blocks at 44100 and at 48000 Hz completes and gives
// the same files. Run by ctest (tests/CMakeLists.txt), which says where everything is:
//   ZENDRIK_ENGINE  the folder holding zendrik.js and zendrik.wasm
//   ZENDRIK_CLI     zendrik-cli of the native build
//   ZENDRIK_CASES   the program that writes the stream builders' transfers as dumps
//   ZENDRIK_SAMPLES the bundled samples
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { copyFileSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

const { ZENDRIK_ENGINE, ZENDRIK_CLI, ZENDRIK_CASES, ZENDRIK_SAMPLES } = process.env;
const FORMATS = ['hrm', 'hrm-compat', 'csv', 'json', 'fit', 'tcx', 'sld'];
// The CLI reads the zone from TZ; the engine gets the same zone's changes.
const ZONE_NAME = 'Europe/Berlin';
const TODAY = new Date().toISOString().slice(0, 10);

let work;
let engine;

// Central European time as the EU has kept it since 1996: summer time from 01:00 UTC on the last
// Sunday of March to 01:00 UTC on the last Sunday of October.
function berlinChanges() {
  const lastSunday = (year, month) => {
    const last = new Date(Date.UTC(year, month + 1, 0, 1));
    return last.getTime() / 1000 - last.getUTCDay() * 86400;
  };
  const changes = [];
  for (let year = 1996; year <= 2040; ++year) {
    changes.push({ at: lastSunday(year, 2), offset: 7200 }, { at: lastSunday(year, 9), offset: 3600 });
  }
  return [{ at: -1e10, offset: 3600 }, ...changes];
}

const settings = (model) => ({ model, today: TODAY, zone: { name: ZONE_NAME, changes: berlinChanges() } });

function run(program, args) {
  const result = spawnSync(program, args, { cwd: work, env: { ...process.env, TZ: ZONE_NAME }, maxBuffer: 1 << 28 });
  assert.equal(result.error, undefined, `${program} ${args.join(' ')}`);
  return result;
}

const inWork = (name) => join(work, name);

// What the CLI says on standard error, as the engine gives a reason: without its prefix and
// the suggestion of another option, one line each, no blank lines.
function cliReason(stderr) {
  return stderr.toString().split(/\r?\n/)
    .map((line) => line.replace(/^zendrik-cli: [^:]*: /, '').replace(/ \(try --format hrm\)$/, ''))
    .filter((line) => line !== '').join('\n');
}

// The engine's result against zendrik-cli's output for every format.
function assertSameAsCli(result, input, model) {
  for (const format of FORMATS) {
    const cli = run(ZENDRIK_CLI, ['--model', String(model), '--format', format, input]);
    const what = `${input} --model ${model} --format ${format}`;
    if (cli.status === 0) {
      assert.equal(result.state, 'decoded', `${what}: ${result.reason}`);
      assert.ok(result.files[format], `${what}: no file`);
      assert.ok(Buffer.from(result.files[format]).equals(cli.stdout), `${what}: other bytes`);
    } else if (result.state === 'decoded') {
      assert.equal(result.files[format], undefined, what);
      assert.equal(result.refused[format], cliReason(cli.stderr), what);
    } else {
      assert.equal(result.reason, cliReason(cli.stderr), what);
    }
  }
}

// A recording's sound as the browser decodes it: each channel as floats.
function channelsOf(file, channels) {
  const raw = inWork(`${file}.f32`);
  run('sox', [inWork(file), '-t', 'raw', '-e', 'floating-point', '-b', '32', raw]);
  const all = new Float32Array(new Uint8Array(readFileSync(raw)).buffer);
  return Array.from({ length: channels }, (_, c) => all.filter((_, i) => i % channels === c));
}

function sox(...args) {
  assert.equal(run('sox', args).status, 0, `sox ${args.join(' ')}`);
}

before(async () => {
  work = mkdtempSync(join(tmpdir(), 'zendrik-engine-'));
  run(ZENDRIK_CASES, [work]);
  // The module factory emscripten 3.1.6 writes looks for node's require and __dirname, which
  // an ES module has not got.
  globalThis.require = createRequire(import.meta.url);
  globalThis.__dirname = work;
  copyFileSync(join(ZENDRIK_ENGINE, 'zendrik.js'), inWork('zendrik.mjs'));
  const { default: createZendrik } = await import(inWork('zendrik.mjs'));
  engine = await createZendrik({ wasmBinary: readFileSync(join(ZENDRIK_ENGINE, 'zendrik.wasm')) });
});

after(() => rmSync(work, { recursive: true, force: true }));

// One transfer of each family: a dump, the bundled sample or a stream builder's, and the model
// setting a recording of it is decoded under.
const FAMILIES = [
  { name: 's410', dump: () => join(ZENDRIK_SAMPLES, 's410-phone.sld'), model: 1 },
  { name: 's510', dump: () => join(ZENDRIK_SAMPLES, 's510-ride.sld'), model: 1 },
  { name: 'coach', dump: () => inWork('coach.sld'), model: 2 },
  { name: 'rs200', dump: () => inWork('rs200.sld'), model: 4 },
  { name: 'cs200', dump: () => inWork('cs200.sld'), model: 4 },
];

for (const family of FAMILIES) {
  test(`${family.name}: the dump, its recording and the recording's sound give the CLI's files`, () => {
    const dump = family.dump();
    const dumped = engine.openFile(readFileSync(dump), 'x.sld', settings(family.model));
    assert.equal(dumped.kind, 'dump');
    assertSameAsCli(dumped, dump, family.model);

    const wav = inWork(`${family.name}.wav`);
    run(ZENDRIK_CLI, ['--synthesize', wav, dump]);
    const recorded = engine.openFile(readFileSync(wav), 'x.wav', settings(family.model));
    assert.equal(recorded.kind, 'recording');
    assertSameAsCli(recorded, wav, family.model);
    assert.equal(recorded.state, 'decoded');

    // The CLI reads a FLAC through the same reader of decoded sound as the browser's channels.
    const flac = `${family.name}.flac`;
    sox(wav, inWork(flac));
    const sound = engine.openSound(channelsOf(flac, 1), 44100, settings(family.model));
    assertSameAsCli(sound, inWork(flac), family.model);
  });
}

// Sound the browser decoded in other shapes, each against the CLI on the same sound.
const SOUNDS = [
  // A phone's recording at a phone's rate, which the second receiver reads alone: the browser
  // decodes it, the engine does not read it itself.
  { name: 'phone', model: 1, make: (to) => sox(join(ZENDRIK_SAMPLES, 's410-phone.flac'), to), rate: 48000, channels: 1 },
  // The tone in the second channel, the first silent: the engine reads the louder one.
  { name: 'stereo', model: 2, make: (to) => sox(inWork('coach.wav'), to, 'remix', '0', '1'), rate: 44100, channels: 2 },
  // No transfer at all: the reception hint, then what was received.
  { name: 'noise', model: 1, make: (to) => sox('-n', '-r', '44100', '-b', '16', to, 'synth', '3', 'whitenoise', 'vol', '0.1'), rate: 44100, channels: 1 },
];

test('recordings the browser decodes give the CLI\'s files or its words', () => {
  run(ZENDRIK_CLI, ['--synthesize', inWork('coach.wav'), inWork('coach.sld')]);
  const phone = engine.openFile(readFileSync(join(ZENDRIK_SAMPLES, 's410-phone.flac')), 'x.flac', settings(1));
  assert.deepEqual([phone.state, phone.kind, phone.reason], ['failed', 'recording', 'not-read-here']);
  for (const sound of SOUNDS) {
    const flac = `${sound.name}.flac`;
    sound.make(inWork(flac));
    const result = engine.openSound(channelsOf(flac, sound.channels), sound.rate, settings(sound.model));
    assertSameAsCli(result, inWork(flac), sound.model);
  }
  const noise = engine.openFile(readFileSync(inWork('noise.flac')), 'x.flac', settings(1));
  assert.equal(noise.reason, 'not-read-here');
});

// Dumps the CLI writes no file of in some format, and a file of neither kind: its words.
test('a damaged dump, one with no exercise and a file of neither kind give the CLI\'s words', () => {
  for (const [file, name] of [[inWork('s410-b0-crc.sld'), 'x.sld'], [inWork('s410-cut6.sld'), 'x.sld'],
                              [inWork('rs200-kind0.sld'), 'x.sld'], [join(ZENDRIK_SAMPLES, 'README.md'), 'README.md']]) {
    assertSameAsCli(engine.openFile(readFileSync(file), name, settings(1)), file, 1);
  }
});

// The microphone at the AudioContext's rate, in an AudioWorklet's blocks of 128 frames, then
// silence until the reading completes (the second receiver reads every 10 s of sound).
for (const rate of [44100, 48000]) {
  test(`a live reading at ${rate} Hz completes and gives the CLI's files`, () => {
    const wav = inWork('live.wav');
    run(ZENDRIK_CLI, ['--synthesize', wav, join(ZENDRIK_SAMPLES, 's410-phone.sld')]);
    const input = inWork(`live${rate}.wav`);
    sox(wav, '-r', String(rate), input, 'pad', '0.5', '0');
    const [sound] = channelsOf(`live${rate}.wav`, 1);
    const reading = engine.listen(rate, settings(1));
    try {
      const silence = new Float32Array(128);
      for (let at = 0; at < sound.length + 30 * rate && !reading.complete(); at += 128) {
        reading.feed(at < sound.length ? sound.subarray(at, at + 128) : silence);
      }
      assert.ok(reading.complete(), JSON.stringify(reading.progress()));
      assert.equal(reading.progress().stateText, 'complete');
      assertSameAsCli(reading.finish(settings(1)), input, 1);
    } finally {
      reading.delete();
    }
  });
}

test('a reading stopped before a transfer completed says so and gives the sound heard', () => {
  const reading = engine.listen(44100, settings(1));
  reading.feed(new Float32Array(4410).fill(0.5));
  assert.equal(reading.progress().stateText, 'waiting for data...');
  const result = reading.finish(settings(1));
  assert.deepEqual([result.state, result.reason], ['failed', 'no complete transfer arrived']);
  const wav = Buffer.from(result.files.wav);
  assert.deepEqual([wav.toString('latin1', 0, 4), wav.readUInt32LE(24), wav.readUInt32LE(40), wav.readInt16LE(44)],
    ['RIFF', 44100, 4410 * 2, 16384]);
  reading.delete();
});

test('a reading stopped just after its transfer ended still takes it', () => {
  // At 48000 Hz only the second receiver reads, every ten seconds of sound: Stop comes first.
  const wav = inWork('stop.wav');
  run(ZENDRIK_CLI, ['--synthesize', wav, join(ZENDRIK_SAMPLES, 's410-phone.sld')]);
  const input = inWork('stop48000.wav');
  sox(wav, '-r', '48000', input, 'pad', '0.5', '1');
  const [sound] = channelsOf('stop48000.wav', 1);
  const reading = engine.listen(48000, settings(1));
  try {
    for (let at = 0; at < sound.length; at += 4800) reading.feed(sound.subarray(at, at + 4800));
    assert.ok(!reading.complete());
    assertSameAsCli(reading.finish(settings(1)), input, 1);
  } finally {
    reading.delete();
  }
});

// What a page may hand in wrongly: a failure with a reason, never a throw out of the module.
test('malformed arguments fail with a reason', () => {
  const calls = [
    () => engine.openSound([], 44100, {}),
    () => engine.openSound([new Float32Array(100)], 0, null),
    () => engine.openSound([[0, 1]], 44100, {}),
    () => engine.openSound([new Float32Array(100)], 44100, { today: 7, zone: { changes: [null, { at: 'x' }] } }),
    () => engine.openFile(new Uint8Array(0), undefined, undefined),
    () => engine.openFile(null, 'x.sld', {}),
    () => engine.openFile({ length: 1e9 }, 'x.sld', {}),
    () => {
      const reading = engine.listen(NaN, null);
      reading.feed(null);
      reading.feed(new Float32Array(64).fill(NaN));
      const result = reading.finish(undefined);
      reading.delete();
      return result;
    },
  ];
  for (const call of calls) {
    const result = call();
    assert.equal(result.state, 'failed', call.toString());
    assert.notEqual(result.reason, '', call.toString());
  }
});
