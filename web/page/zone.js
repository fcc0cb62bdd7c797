// The time zone the watch's local times are read in, for FIT and TCX. The engine carries no zone
// database: the browser's Intl knows the zones, so the page hands the engine a zone as the list of
// instants its offset from UTC changes at.

// The years the list covers: the watches' own dates lie well inside them; past the end the last
// offset holds.
const FIRST_UTC = Date.UTC(1970, 0, 1) / 1000;
const LAST_UTC = Date.UTC(2100, 0, 1) / 1000;
// Clocks change a few times a year at most; a week between samples finds every change that
// lasts a week or more, and bisection then finds its second.
const STEP = 7 * 24 * 3600;

export function deviceZone() {
  try {
    return Intl.DateTimeFormat().resolvedOptions().timeZone || 'UTC';
  } catch {
    return 'UTC';
  }
}

// The zones this browser knows, for the picker; the device's zone and UTC are always there.
export function knownZones() {
  let zones = [];
  try {
    zones = Intl.supportedValuesOf('timeZone');
  } catch {
    zones = [];
  }
  const all = new Set(zones);
  all.add('UTC');
  all.add(deviceZone());
  return [...all].sort();
}

export function isKnownZone(name) {
  try {
    new Intl.DateTimeFormat('en-US', { timeZone: name });
    return true;
  } catch {
    return false;
  }
}

function offsetReader(name) {
  const format = new Intl.DateTimeFormat('en-US', {
    timeZone: name,
    hourCycle: 'h23',
    year: 'numeric',
    month: 'numeric',
    day: 'numeric',
    hour: 'numeric',
    minute: 'numeric',
    second: 'numeric',
    era: 'short',
  });
  return (utcSeconds) => {
    const f = {};
    for (const p of format.formatToParts(new Date(utcSeconds * 1000))) f[p.type] = p.value;
    let year = Number(f.year);
    if (f.era && /^B/.test(f.era)) year = 1 - year;
    const local = Date.UTC(year, Number(f.month) - 1, Number(f.day), Number(f.hour) % 24,
                           Number(f.minute), Number(f.second)) / 1000;
    return local - utcSeconds;
  };
}

const cache = new Map();

// { name, changes: [{ at, offset }] }: from each `at` (seconds since 1970, UTC) on, `offset`
// seconds are added to UTC; the first entry's offset also holds before it.
export function zoneChanges(name) {
  if (cache.has(name)) return cache.get(name);
  const offsetAt = offsetReader(name);
  const changes = [{ at: FIRST_UTC, offset: offsetAt(FIRST_UTC) }];
  let previous = changes[0].offset;
  for (let t = FIRST_UTC + STEP; t <= LAST_UTC; t += STEP) {
    const offset = offsetAt(t);
    if (offset === previous) continue;
    // The change lies in (t - STEP, t]: the first second with the new offset.
    let low = t - STEP;
    let high = t;
    while (high - low > 1) {
      const mid = Math.floor((low + high) / 2);
      if (offsetAt(mid) === previous) low = mid;
      else high = mid;
    }
    changes.push({ at: high, offset: offsetAt(high) });
    previous = offset;
  }
  const zone = { name, changes };
  cache.set(name, zone);
  return zone;
}

// Today's date in UTC as YYYY-MM-DD: the Coach sends no year, and its year follows today's.
export function todayUtc(now = new Date()) {
  return now.toISOString().slice(0, 10);
}
