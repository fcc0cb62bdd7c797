// Times and numbers as the desktop program shows them.

// Elapsed seconds as h:mm:ss, with the tenth when there is one.
export function elapsed(seconds) {
  const tenths = Math.max(0, Math.round((seconds || 0) * 10));
  const s = Math.floor(tenths / 10);
  const two = (v) => String(v).padStart(2, '0');
  let text = `${Math.floor(s / 3600)}:${two(Math.floor(s / 60) % 60)}:${two(s % 60)}`;
  if (tenths % 10) text += `.${tenths % 10}`;
  return text;
}

// A pace in seconds per km as m:ss.
export function pace(secondsPerKm) {
  const s = Math.floor(secondsPerKm);
  return `${Math.floor(s / 60)}:${String(s % 60).padStart(2, '0')}`;
}
