// The Zendrik engine: the program's core (reception, the watch decoders and every writer) built
// to WebAssembly, as an ES module factory (zendrik.js beside zendrik.wasm). The page calls it
// from a Web Worker only: a call may take a second or more on a long recording.
//
// Every call returns values; none throws for anything the user hands in (a damaged file, a
// recording without a transfer, sound at any rate): a failure comes back as a Result whose
// state is 'failed' and whose reason says why, in the words zendrik-cli uses for the same input.
// Objects embind hands out that own memory in the module (a LiveReading) must be delete()d.
//
// In a browser: `const zendrik = await createZendrik()` finds zendrik.wasm beside zendrik.js
// (new URL('zendrik.wasm', import.meta.url)) and compiles it as it streams in, which needs the
// server to send it as application/wasm (python3 -m http.server does). In a module worker, where
// there is no importScripts, emscripten 3.1.6 has no way back when that fails: a page that
// cannot count on the type fetches the bytes itself and hands them in as { wasmBinary }.
// Under node (the tests), emscripten 3.1.6's ES module looks for the globals `require` and
// `__dirname`, and its fetch of the wasm fails on a file path: set globalThis.require (from
// node:module's createRequire) and globalThis.__dirname before importing it, and hand the wasm
// in as { wasmBinary: bytes }.
export default function createZendrik(options?: { wasmBinary?: ArrayBuffer | Uint8Array } & object): Promise<Zendrik>;

export interface Zendrik {
  // The choices of the watch model setting, in the order the desktop program lists them:
  // number is the model number zendrik-cli's --model takes, name the name the list shows
  // ("Polar S410/S510").
  models(): { number: number; name: string }[];

  // A file the user opened, its bytes as they are, and its name (only its extension counts,
  // where the first bytes do not say what the file is). WAV recordings and dumps (.sld) are read
  // by the core's own readers, exactly as zendrik-cli reads them (the exact receiver first, at
  // the timing of the model setting, then the second receiver). Any other recording (M4A, MP3,
  // Ogg, WebM, FLAC, 3GP, a WAV of float or 24-bit samples, a WAV whose header is damaged, ...)
  // gives state 'failed' with reason 'not-read-here': the page decodes it with decodeAudioData
  // and calls openSound (and says what is wrong where the browser cannot decode it either).
  openFile(bytes: Uint8Array | ArrayBuffer, name: string, settings: Settings): Result;

  // A recording the browser decoded: each channel as the browser gave it (full scale +-1.0), at
  // its rate (any rate). The channel with the most energy in the watch tone's band is read, as
  // the core's file readers choose it; sound at 44100 Hz goes to the exact receiver first, at
  // any other rate to the second receiver alone, as zendrik-cli does with a recording FFmpeg
  // decoded. At most 4 hours of sound; the module holds the channel it reads (4 bytes a sample,
  // 106 MB for 10 minutes at 44100 Hz) and grows to 2 GB at most: a recording beyond that fails
  // with "not enough memory to decode it", and the engine goes on working.
  // Channels of other types, or no rate, fail ("the sound's channels are not Float32Arrays",
  // "the sound has no sample rate").
  openSound(channels: Float32Array[], sampleRate: number, settings: Settings): Result;

  // A microphone reading at the AudioContext's rate. At 44100 or 22050 Hz, the rates the exact
  // pass has bit timings for, it runs as in the desktop program: the exact pass at the timing of
  // the model setting, and the second receiver over the last 120 s of sound after every 10 s
  // (and at once when the exact pass meets a broken block or stalls). At any other rate (48000
  // on most phones) the second receiver alone reads it: it accepts a transfer of any family at
  // any bit timing, so a transfer completes up to 10 s after its sound ended.
  listen(sampleRate: number, settings: Settings): LiveReading;
}

export interface Settings {
  // The watch model setting: a number of models(). It decides how a recording's bytes are
  // decoded; a dump is decoded with the model its stream head names.
  model: number;
  // Today's date in UTC, 'YYYY-MM-DD': the Coach sends no year, and its exercise takes the
  // year this date gives it, as zendrik-cli takes it from the computer's clock.
  today: string;
  // The time zone the watch's local times are read in for FIT and TCX (the device's zone).
  // name: what the zone is called (IANA, 'Europe/Berlin'; the writers do not print it).
  // changes: the zone's offsets as a list of changes in order of time: from the instant `at`
  // (seconds since 1970-01-01T00:00:00Z) on, local time is UTC + `offset` seconds (east of UTC
  // positive: +3600 for CET, +7200 for CEST). Before the first change the first's offset holds;
  // an empty list is UTC. Give every change over the years an exercise may fall in (say, from
  // 2000 to next year), found with Intl.DateTimeFormat; the engine reads a local time that
  // falls in the hour skipped in spring with the offset before the change, one that occurs twice
  // in autumn at its first occurrence, as zendrik-cli does with the zone database.
  zone: { name: string; changes: { at: number; offset: number }[] };
}

export interface LiveReading {
  // The next block of microphone sound: mono, full scale +-1.0 (clipped beyond it), at the rate
  // given to listen(), any block size (an AudioWorklet's 128 frames will do). Ignored once the
  // transfer is complete, and anything but a Float32Array.
  feed(samples: Float32Array): void;
  // What the desktop reading dialog shows: the state (1 waiting, 2 receiving, 3 complete,
  // 4 CRC error, 5 second receiver reading) and its text ("waiting for data...", ...), the
  // bytes of the transfer in and those its head announces (0 before a head), the loudest sample
  // of the last block (0..32767, for a level meter), and the reception hint after a broken
  // block ('' before one).
  progress(): { state: number; stateText: string; received: number; expected: number;
                peak: number; advice: string };
  // The transfer is all in: the page stops listening by itself and calls finish().
  complete(): boolean;
  // Decodes what was received, under `settings` (the model setting decides, as for openFile).
  // Before the transfer is complete (the user pressed Stop) the second receiver reads the sound
  // heard once more and takes a transfer that came whole since it last read. Where none did:
  // state 'failed', kind 'recording', the reason zendrik-cli gives when no transfer completed,
  // and files.wav, what was heard (its last two minutes at most) as a 16-bit mono WAV at the
  // reading's rate.
  finish(settings: Settings): Result;
  // Frees the reading; the object cannot be used after.
  delete(): void;
}

export type FileFormat = 'fit' | 'tcx' | 'hrm' | 'hrm-compat' | 'csv' | 'json' | 'sld' | 'wav';

export interface Result {
  // 'decoded': a valid report, its files below. 'failed': nothing to save (zendrik-cli would
  // exit with a status other than 0 and write no file); reason says why.
  state: 'decoded' | 'failed';
  // What the input was taken for, by its first bytes and then its name.
  kind: 'recording' | 'dump' | 'unknown';
  // When failed: why, in zendrik-cli's words for the same input: the lines it writes on standard
  // error without their 'zendrik-cli: NAME: ' prefix, joined by '\n', without blank lines and
  // with no '\n' after the last. For a recording that held no transfer, the reception hint first
  // ("No watch tone found in the recording: hold the watch close to ..."), then the report's
  // error lines ("invalid Data Header") or what was received instead; for a file that cannot be
  // read, why not ('not-read-here': see openFile); after a live reading stopped before its
  // transfer was whole, 'no complete transfer arrived'. '' when decoded.
  reason: string;
  // A valid report (zendrik-cli's exit status 0): state === 'decoded'.
  valid: boolean;
  // The name the desktop program proposes for the files, without extension: the exercise's
  // date ('20060305'), or 'exercise' where the transfer gave no date.
  baseName: string;
  // The files, exactly the bytes zendrik-cli writes for the same input and settings with
  // --format fit, tcx, hrm, hrm-compat, csv (its default ';' separator and value format), json
  // and sld. 'hrm-compat' only for RS200/CS200 reports. Empty when failed, but for the sound of a
  // live reading (finish()).
  files: Partial<Record<FileFormat, Uint8Array>>;
  // The formats a valid report has no file in, each with the reason zendrik-cli gives, without
  // its prefix and its '(try --format hrm)': "the Polar Compatible HRM form exists for RS200/CS200
  // reports only, not for this Polar S410/S510 one", "the transfer holds no exercise to write as
  // FIT", "cannot be written as FIT: The exercise's start is not a valid date and time.".
  refused: Partial<Record<'fit' | 'tcx' | 'json' | 'hrm-compat', string>>;
}
