// What the browser's engine costs under node: feeding microphone sound to a live reading at
// 48000 Hz (the second receiver alone) and at 44100 Hz (with the exact pass), as a share of the
// sound's own time, and decoding a 10-minute 44100 Hz recording through openSound. Not a test.
//
//   node bench/web_engine.mjs ENGINE_DIR TRANSFER.wav
//
// ENGINE_DIR holds zendrik.js and zendrik.wasm (build-web/web/engine); TRANSFER.wav is a mono
// recording of a transfer (zendrik-cli --synthesize), repeated through the sound fed. Needs sox.
import { spawnSync } from 'node:child_process';
import { copyFileSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

const [engineDir, transfer] = process.argv.slice(2);
const work = mkdtempSync(join(tmpdir(), 'zendrik-bench-'));
globalThis.require = createRequire(import.meta.url);
globalThis.__dirname = work;
copyFileSync(join(engineDir, 'zendrik.js'), join(work, 'zendrik.mjs'));
const { default: createZendrik } = await import(join(work, 'zendrik.mjs'));
const engine = await createZendrik({ wasmBinary: readFileSync(join(engineDir, 'zendrik.wasm')) });
const settings = { model: 1, today: '2026-01-01', zone: { name: 'UTC', changes: [] } };
// Wall time and this process's processor time, in ms: on a busy machine the second says more.
const clock = () => ({ wall: performance.now(), cpu: process.cpuUsage() });
const spent = (from) => {
  const cpu = process.cpuUsage(from.cpu);
  return { wall: performance.now() - from.wall, cpu: (cpu.user + cpu.system) / 1000 };
};

// `seconds` of sound at `rate` with quiet noise: the transfer over and over, or once at the start.
function sound(rate, seconds, repeated) {
  const raw = join(work, `${rate}.f32`);
  const made = spawnSync('sox', [transfer, '-r', String(rate), '-t', 'raw', '-e', 'floating-point', '-b', '32', raw,
                                 'pad', '2', repeated ? '0' : String(seconds), ...(repeated ? ['repeat', '-'] : []),
                                 'trim', '0', String(seconds)]);
  if (made.status !== 0) throw new Error(made.stderr.toString());
  const samples = new Float32Array(new Uint8Array(readFileSync(raw)).buffer);
  for (let i = 0; i < samples.length; ++i) samples[i] += (Math.random() - 0.5) * 0.002;
  return samples;
}

for (const rate of [48000, 44100]) {
  const samples = sound(rate, 130, true);
  const reading = engine.listen(rate, settings);
  const start = clock();
  // A reading ends when its transfer is complete: a new one keeps the cost of listening on.
  let readings = 1;
  let current = reading;
  for (let at = 0; at < samples.length; at += 128) {
    if (current.complete()) {
      if (current !== reading) current.delete();
      current = engine.listen(rate, settings);
      ++readings;
    }
    current.feed(samples.subarray(at, at + 128));
  }
  const { wall, cpu } = spent(start);
  const seconds = samples.length / rate;
  console.log(`live at ${rate} Hz: ${(wall / seconds).toFixed(1)} ms per second of sound ` +
              `(${(wall / seconds / 10).toFixed(2)} % of real time; processor ${(cpu / seconds).toFixed(1)} ms), ` +
              `${readings} readings`);
  if (current !== reading) current.delete();
  reading.delete();
}

for (const repeated of [false, true]) {
  const long = sound(44100, 600, repeated);
  const start = clock();
  const result = engine.openSound([long], 44100, settings);
  const { wall, cpu } = spent(start);
  console.log(`openSound of 10 minutes at 44100 Hz, ${repeated ? 'a transfer every 18 s' : 'one transfer'}: ` +
              `${(wall / 1000).toFixed(2)} s (processor ${(cpu / 1000).toFixed(2)} s), ${result.state}`);
}
rmSync(work, { recursive: true, force: true });
