// What a file the browser could not decode is, judged by its own bytes: the browser's decoder
// only says that it failed, and the user needs to know whether the file is cut off, in a form the
// browser cannot play, or no recording at all.

const text = (b, at, n) => String.fromCharCode(...b.subarray(at, at + n));
const u32 = (b, at) => ((b[at] << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3]) >>> 0;

function indexOf(b, word) {
  const w = [...word].map((c) => c.charCodeAt(0));
  outer: for (let i = b.indexOf(w[0]); i >= 0 && i + w.length <= b.length; i = b.indexOf(w[0], i + 1)) {
    for (let k = 1; k < w.length; ++k) if (b[i + k] !== w[k]) continue outer;
    return i;
  }
  return -1;
}

// The sound sample entries of an MP4/M4A ('mp4a', 'alac', ...): where each entry's type is. Each
// track's 'stsd' box holds them; a phone's recording has one.
function sampleEntries(b) {
  const found = [];
  for (let from = 0; ;) {
    const at = indexOf(b.subarray(from), 'stsd');
    if (at < 0 || from + at + 20 > b.length) return found;
    // 'stsd', version and flags, the entry count, then the first entry's size and type.
    found.push({ type: text(b, from + at + 16, 4), at: from + at + 16 });
    from += at + 4;
  }
}

// The top-level boxes of an MP4/M4A: whether each fits in the file, and whether the index
// ('moov') that a player needs is there.
function mp4Boxes(b) {
  const boxes = [];
  let at = 0;
  while (at + 8 <= b.length) {
    let size = u32(b, at);
    const type = text(b, at + 4, 4);
    if (size === 1 && at + 16 <= b.length) size = u32(b, at + 8) * 2 ** 32 + u32(b, at + 12);
    else if (size === 0) size = b.length - at;
    if (size < 8) return { boxes, broken: true };
    boxes.push(type);
    if (at + size > b.length) return { boxes, broken: true };
    at += size;
  }
  return { boxes, broken: at !== b.length };
}

const KINDS = [
  { kind: 'm4a', name: 'an M4A (MP4 audio)', test: (b) => b.length >= 8 && text(b, 4, 4) === 'ftyp' },
  { kind: 'wav', name: 'a WAV', test: (b) => text(b, 0, 4) === 'RIFF' || text(b, 0, 4) === 'RF64' },
  { kind: 'flac', name: 'a FLAC', test: (b) => text(b, 0, 4) === 'fLaC' },
  { kind: 'ogg', name: 'an Ogg (Opus or Vorbis)', test: (b) => text(b, 0, 4) === 'OggS' },
  { kind: 'webm', name: 'a WebM', test: (b) => u32(b, 0) === 0x1a45dfa3 },
  { kind: 'mp3', name: 'an MP3', test: (b) => text(b, 0, 3) === 'ID3' || (b[0] === 0xff && (b[1] & 0xe6) === 0xe2) },
  { kind: 'aac', name: 'an AAC', test: (b) => b[0] === 0xff && (b[1] & 0xf6) === 0xf0 },
  { kind: 'amr', name: 'an AMR', test: (b) => text(b, 0, 5) === '#!AMR' },
  { kind: 'caf', name: 'a CAF', test: (b) => text(b, 0, 4) === 'caff' },
];

export function soundKind(bytes) {
  const b = bytes.subarray(0, 16);
  return KINDS.find((k) => b.length >= 4 && k.test(b)) || null;
}

// The rate the recording was made at, where its header says it cheaply: the browser decodes at
// the rate of the context it is given, and a recording decoded at its own rate is not resampled.
export function soundRate(bytes) {
  const kind = soundKind(bytes);
  if (!kind) return 0;
  if (kind.kind === 'flac' && bytes.length >= 21) {
    // STREAMINFO follows the 4-byte block header; the rate is its 20 bits at byte 10.
    return (bytes[18] << 12) | (bytes[19] << 4) | (bytes[20] >> 4);
  }
  if (kind.kind === 'm4a') {
    const entry = sampleEntries(bytes).find((e) => e.type === 'mp4a' || e.type === 'alac');
    // A sound sample entry: the rate as 16.16 fixed point 28 bytes after its type.
    if (entry && entry.at + 32 <= bytes.length) return (bytes[entry.at + 28] << 8) | bytes[entry.at + 29];
  }
  if (kind.kind === 'ogg' && indexOf(bytes.subarray(0, 256), 'OpusHead') >= 0) return 48000;
  return 0;
}

// What to tell the user about a file that was neither read by the engine nor decoded by the
// browser, by what its bytes show.
export function unreadableReason(bytes, name) {
  if (bytes.length === 0) return `${name} is empty: open the recording or the dump itself.`;
  const kind = soundKind(bytes);
  if (!kind) {
    return `${name} is not a recording or a dump this page can read: open a recording ` +
      '(WAV, M4A, MP3, AAC, FLAC, Ogg, Opus or WebM) or a .sld dump.';
  }
  if (kind.kind === 'm4a') {
    const { boxes, broken } = mp4Boxes(bytes);
    if (broken || !boxes.includes('moov')) {
      return `${name} is an M4A recording that is cut off (it ends before its index), so it ` +
        'cannot be played: copy the whole file again, or record the transfer again.';
    }
    if (sampleEntries(bytes).some((e) => e.type === 'alac')) {
      return `${name} is an Apple Lossless (ALAC) recording, which this browser cannot decode: ` +
        'set the recorder to a compressed (AAC) format, or convert the file to WAV or FLAC.';
    }
  }
  return `${name} looks like ${kind.name} recording, but this browser cannot decode it: the ` +
    'file may be cut off or damaged, or in a form the browser does not play. Convert it to WAV, ' +
    'or record the transfer again.';
}
