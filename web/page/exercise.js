// The exercise's summary and laps table, from the engine's JSON export.
import { elapsed, pace } from './format.js';

const SPORTS = { cycling: 'Cycling', running: 'Running', generic: 'Other' };

function row(dl, term, value) {
  if (value === undefined || value === null || value === '') return;
  const dt = document.createElement('dt');
  dt.textContent = term;
  const dd = document.createElement('dd');
  dd.textContent = value;
  dl.append(dt, dd);
}

export function fillSummary(dl, transfer) {
  const e = transfer.exercise;
  dl.replaceChildren();
  row(dl, 'Watch', e.family);
  if (e.start) {
    row(dl, 'Date', e.start.slice(0, 10));
    row(dl, 'Start', e.start.slice(11, 19));
  } else {
    row(dl, 'Start (as sent)', e.startAsSent);
  }
  row(dl, 'Length', elapsed(e.durationSeconds));
  row(dl, 'Sport', SPORTS[e.sport] || (e.sport ? e.sport[0].toUpperCase() + e.sport.slice(1) : ''));
  row(dl, 'Name', e.name);
  if (e.avgHr !== undefined || e.maxHr !== undefined) {
    const parts = [];
    if (e.avgHr !== undefined) parts.push(`average ${e.avgHr}`);
    if (e.maxHr !== undefined) parts.push(`maximum ${e.maxHr}`);
    row(dl, 'Heart rate (bpm)', parts.join(', '));
  }
  if (e.distanceMeters !== undefined) row(dl, 'Distance', `${(e.distanceMeters / 1000).toFixed(2)} km`);
  if (e.avgSpeedKmh !== undefined) row(dl, 'Average speed', `${e.avgSpeedKmh.toFixed(1)} km/h`);
  if (e.calories !== undefined) row(dl, 'Calories', `${e.calories} kcal`);
  row(dl, 'Laps', e.laps.length ? String(e.laps.length) : '');
}

// The desktop's columns: lap, split, lap time, then each optional column some lap has a value for.
const OPTIONAL = [
  ['Avg HR', (l) => l.avgHr],
  ['Max HR', (l) => l.maxHr],
  ['End HR', (l) => l.endHr],
  ['Distance (km)', (l) => (l.distanceMeters === undefined ? undefined : (l.distanceMeters / 1000).toFixed(2))],
  ['Speed (km/h)', (l) => (l.endSpeedKmh === undefined ? undefined : l.endSpeedKmh.toFixed(1))],
  ['Pace (min/km)', (l) => (l.avgPaceSecondsPerKm > 0 ? pace(l.avgPaceSecondsPerKm) : undefined)],
  ['Cadence (rpm)', (l) => l.avgCadence ?? l.endCadence],
];

export function fillLaps(table, e) {
  table.replaceChildren();
  if (!e.laps.length) return false;
  const shown = OPTIONAL.filter(([, get]) => e.laps.some((l) => get(l) !== undefined));
  const caption = table.createCaption();
  caption.textContent = 'Laps';
  const head = table.createTHead().insertRow();
  for (const title of ['Lap', 'Split', 'Lap time', ...shown.map(([t]) => t)]) {
    const th = document.createElement('th');
    th.scope = 'col';
    th.textContent = title;
    head.appendChild(th);
  }
  const body = table.createTBody();
  let previous = 0;
  e.laps.forEach((l, i) => {
    const tr = body.insertRow();
    const lapTime = l.splitSeconds - previous;
    previous = l.splitSeconds;
    const th = document.createElement('th');
    th.scope = 'row';
    th.textContent = `${i + 1}${l.automatic ? ' (auto)' : ''}`;
    tr.appendChild(th);
    const cells = [elapsed(l.splitSeconds), lapTime >= 0 ? elapsed(lapTime) : '?',
      ...shown.map(([, get]) => { const v = get(l); return v === undefined ? '' : String(v); })];
    for (const c of cells) tr.insertCell().textContent = c;
  });
  return true;
}
