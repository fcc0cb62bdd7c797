// The chart of one exercise, drawn as SVG from the engine's JSON export, with what the desktop
// chart shows: heart rate over the elapsed time against the zone limits, the laps as numbered
// lines, and speed, cadence and altitude on axes of their own (their legend entries hide and show
// them). Exercises without samples (RS200, CS200) get a bar per lap of heart rate and of pace or
// speed. Colours come from the style sheet, so the chart follows the light or dark theme.
import { elapsed } from './format.js';

const SVG = 'http://www.w3.org/2000/svg';
const SERIES_NAMES = { heartRate: 'Heart rate', speed: 'Speed', cadence: 'Cadence', altitude: 'Altitude' };
const EXTRA_KINDS = ['speed', 'cadence', 'altitude'];

function el(name, attrs = {}, parent = null, content = null) {
  const node = document.createElementNS(SVG, name);
  for (const [k, v] of Object.entries(attrs)) node.setAttribute(k, String(v));
  if (content !== null) node.textContent = content;
  if (parent) parent.appendChild(node);
  return node;
}

// Round steps (1, 2, 5 times a power of ten) giving about `count` ticks over the range.
function ticks(low, high, count) {
  const span = high - low || 1;
  const raw = span / Math.max(1, count);
  const power = 10 ** Math.floor(Math.log10(raw));
  const step = [1, 2, 5, 10].map((m) => m * power).find((s) => s >= raw) || raw;
  const first = Math.ceil(low / step) * step;
  const out = [];
  for (let v = first; v <= high + step * 1e-9; v += step) out.push(Number(v.toFixed(10)));
  return { values: out, step };
}

function niceRange(low, high) {
  const { step } = ticks(low, high, 5);
  return [Math.floor(low / step) * step, Math.ceil(high / step) * step];
}

function dateText(start) {
  if (!start) return '';
  return start.slice(0, 16).replace('T', ' ');
}

// The title the desktop chart has: watch, date, name, length, sample interval.
export function chartTitle(e) {
  let title = `${e.family} ${dateText(e.start)}`;
  if (e.name) title += ` \u2013 ${e.name}`;
  title += `, ${elapsed(e.durationSeconds)}`;
  const samples = (e.series || []).reduce((n, s) => Math.max(n, s.values.length), 0);
  if (e.intervalSeconds > 0 && samples > 0) title += `, a sample every ${e.intervalSeconds} s`;
  return title;
}

function valueAxis(svg, x, top, bottom, range, cls, title, side, format) {
  const [low, high] = range;
  const y = (v) => bottom - ((v - low) / (high - low || 1)) * (bottom - top);
  const g = el('g', { class: `axis ${cls}` }, svg);
  el('line', { x1: x, x2: x, y1: top, y2: bottom }, g);
  const dx = side === 'left' ? -4 : 4;
  for (const v of ticks(low, high, 5).values) {
    el('text', { x: x + dx, y: y(v) + 4, 'text-anchor': side === 'left' ? 'end' : 'start' }, g, format(v));
  }
  el('text', { x: x + (side === 'left' ? -4 : 4), y: top - 22, 'text-anchor': side === 'left' ? 'end' : 'start', class: 'axis-title' }, g, title);
  return { y, g };
}

function grid(svg, left, right, y, values) {
  const g = el('g', { class: 'grid' }, svg);
  for (const v of values) el('line', { x1: left, x2: right, y1: y(v), y2: y(v) }, g);
}

// Heart rate as polylines broken at the samples without contact (0).
function hrPaths(values, divisor, x, y) {
  const d = [];
  let pen = false;
  values.forEach((v, i) => {
    if (v <= 0) {
      pen = false;
      return;
    }
    d.push(`${pen ? 'L' : 'M'}${x(i).toFixed(1)},${y(v / divisor).toFixed(1)}`);
    pen = true;
  });
  return d.join('');
}

function legendItem(legend, cls, label, toggle) {
  const item = document.createElement(toggle ? 'button' : 'span');
  item.className = `legend-item ${cls}`;
  const swatch = document.createElement('span');
  swatch.className = 'swatch';
  swatch.setAttribute('aria-hidden', 'true');
  item.append(swatch, label);
  if (toggle) {
    item.type = 'button';
    item.setAttribute('aria-pressed', String(toggle.shown));
    item.addEventListener('click', () => toggle.onToggle(item.getAttribute('aria-pressed') !== 'true'));
  }
  legend.appendChild(item);
  return item;
}

function sampleChart(svg, legend, e, width, height, shown, redraw) {
  const interval = e.intervalSeconds / 60;
  const hr = e.series.find((s) => s.kind === 'heartRate');
  const extras = EXTRA_KINDS.map((k) => e.series.find((s) => s.kind === k && s.values.length)).filter(Boolean);
  const visible = extras.filter((s) => shown[s.kind]);
  const n = e.series.reduce((m, s) => Math.max(m, s.values.length), 0);
  let xMax = Math.max(e.durationSeconds / 60, (n > 0 ? n - 1 : 0) * interval);
  for (const lap of e.laps) xMax = Math.max(xMax, lap.splitSeconds / 60);
  if (xMax <= 0) xMax = 1;

  const top = 46;
  const bottom = height - 34;
  const left = 44;
  const right = width - 10 - visible.length * 40;
  const x = (minutes) => left + (minutes / xMax) * (right - left);
  const xi = (i) => x(i * interval);

  let low = Infinity;
  let high = -Infinity;
  for (const z of e.zones) {
    if (z.lower === undefined || z.upper === undefined || z.lower >= z.upper) continue;
    low = Math.min(low, z.lower);
    high = Math.max(high, z.upper);
  }
  const divisor = hr && hr.divisor > 0 ? hr.divisor : 1;
  if (hr) {
    for (const v of hr.values) {
      if (v <= 0) continue;
      low = Math.min(low, v / divisor);
      high = Math.max(high, v / divisor);
    }
  }
  if (high < low) [low, high] = [60, 200];
  const hrRange = niceRange(Math.max(0, low - 10), high + 10);
  const hrAxis = valueAxis(svg, left, top, bottom, hrRange, 'hr', 'bpm', 'left', (v) => v.toFixed(0));
  grid(svg, left, right, hrAxis.y, ticks(hrRange[0], hrRange[1], 5).values);

  // Zones as faint bands behind the curves.
  const bands = el('g', { class: 'zones' }, svg);
  e.zones.forEach((z, i) => {
    if (z.lower === undefined || z.upper === undefined || z.lower >= z.upper) return;
    const cls = `zone${(i % 3) + 1}`;
    el('rect', { class: cls, x: left, width: right - left, y: hrAxis.y(z.upper), height: hrAxis.y(z.lower) - hrAxis.y(z.upper) }, bands);
    legendItem(legend, cls, `Zone ${i + 1}: ${z.lower}\u2013${z.upper}`);
  });

  // The time axis, in minutes.
  const timeAxis = el('g', { class: 'axis time' }, svg);
  el('line', { x1: left, x2: right, y1: bottom, y2: bottom }, timeAxis);
  for (const v of ticks(0, xMax, Math.max(2, Math.floor((right - left) / 60))).values) {
    el('line', { x1: x(v), x2: x(v), y1: bottom, y2: bottom + 4 }, timeAxis);
    el('text', { x: x(v), y: bottom + 16, 'text-anchor': 'middle' }, timeAxis, v.toFixed(0));
  }
  el('text', { x: (left + right) / 2, y: height - 4, 'text-anchor': 'middle', class: 'axis-title' }, timeAxis, 'Elapsed time (min)');

  // Laps: a numbered dashed line at each lap's end; laps that do not end after the one before
  // (a garbled stream) are left out rather than drawn out of order.
  if (e.laps.length) {
    const laps = el('g', { class: 'laps' }, svg);
    let previous = 0;
    e.laps.forEach((lap, i) => {
      const end = lap.splitSeconds / 60;
      if (end <= previous || end > xMax) return;
      previous = end;
      el('line', { x1: x(end), x2: x(end), y1: top, y2: bottom }, laps);
      el('text', { x: x(end), y: top - 4, 'text-anchor': 'middle' }, laps, String(i + 1));
    });
    el('text', { x: (left + right) / 2, y: top - 22, 'text-anchor': 'middle', class: 'axis-title' }, laps, 'Lap');
  }

  visible.forEach((s, k) => {
    const div = s.divisor > 0 ? s.divisor : 1;
    let lo = 0;
    let hi = 1;
    for (const v of s.values) {
      lo = Math.min(lo, v / div);
      hi = Math.max(hi, v / div);
    }
    const axis = valueAxis(svg, right + k * 40, top, bottom, [lo, hi * 1.1], s.kind, s.unit, 'right', (v) => v.toFixed(0));
    const d = s.values.map((v, i) => `${i ? 'L' : 'M'}${xi(i).toFixed(1)},${axis.y(v / div).toFixed(1)}`).join('');
    el('path', { class: `line ${s.kind}`, d }, svg);
  });

  if (hr) {
    el('path', { class: 'line heartRate', d: hrPaths(hr.values, divisor, xi, hrAxis.y) }, svg);
    legendItem(legend, 'heartRate', SERIES_NAMES.heartRate);
  }
  for (const s of extras) {
    legendItem(legend, s.kind, `${SERIES_NAMES[s.kind]} (${s.unit})`, {
      shown: !!shown[s.kind],
      onToggle: (on) => {
        shown[s.kind] = on;
        redraw(s.kind);
      },
    });
  }
}

// RS200/CS200: a bar per lap, heart rate on the left and pace or speed on the right.
function lapChart(svg, legend, e, width, height) {
  const pace = e.laps.some((l) => l.avgPaceSecondsPerKm > 0);
  const speed = !pace && e.laps.some((l) => l.endSpeedKmh !== undefined);
  const top = 40;
  const bottom = height - 34;
  const left = 44;
  const right = width - (pace || speed ? 48 : 10);
  const hrOf = (l) => l.avgHr ?? l.endHr ?? 0;
  const otherOf = (l) => (pace ? (l.avgPaceSecondsPerKm || 0) / 60 : speed ? l.endSpeedKmh || 0 : 0);
  const hrHigh = Math.max(1, ...e.laps.map(hrOf));
  const otherHigh = Math.max(0.1, ...e.laps.map(otherOf));
  const hrAxis = valueAxis(svg, left, top, bottom, niceRange(0, hrHigh * 1.1), 'hr', 'bpm', 'left', (v) => v.toFixed(0));
  grid(svg, left, right, hrAxis.y, ticks(0, niceRange(0, hrHigh * 1.1)[1], 5).values);
  let otherAxis = null;
  if (pace || speed) {
    otherAxis = valueAxis(svg, right, top, bottom, niceRange(0, otherHigh * 1.1), 'speed',
      pace ? 'min/km' : 'km/h', 'right', (v) => v.toFixed(1));
  }
  const slot = (right - left) / e.laps.length;
  const bar = (slot * 0.8) / (otherAxis ? 2 : 1);
  const labelEvery = [1, 2, 5, 10, 20, 50].find((n) => n * slot >= 20) || 100;
  const base = el('g', { class: 'axis time' }, svg);
  el('line', { x1: left, x2: right, y1: bottom, y2: bottom }, base);
  e.laps.forEach((l, i) => {
    const x0 = left + i * slot + slot * 0.1;
    el('rect', { class: 'bar heartRate', x: x0, width: bar, y: hrAxis.y(hrOf(l)), height: bottom - hrAxis.y(hrOf(l)) }, svg);
    if (otherAxis) {
      el('rect', { class: 'bar speed', x: x0 + bar, width: bar, y: otherAxis.y(otherOf(l)), height: bottom - otherAxis.y(otherOf(l)) }, svg);
    }
    // Numbers need about 20 px each: with many laps, every second or fifth one is numbered.
    if ((i + 1) % labelEvery === 0 || labelEvery === 1) {
      el('text', { x: left + (i + 0.5) * slot, y: bottom + 16, 'text-anchor': 'middle' }, base, String(i + 1));
    }
  });
  el('text', { x: (left + right) / 2, y: height - 4, 'text-anchor': 'middle', class: 'axis-title' }, base, 'Lap');
  legendItem(legend, 'heartRate', 'Heart rate (average, bpm)');
  if (otherAxis) legendItem(legend, 'speed', pace ? 'Pace (average, min/km)' : 'Speed (end of lap, km/h)');
}

// Draws the exercise into `figure` (an element holding an <svg> and a legend), at the figure's
// width; call again when that changes.
export function drawChart(figure, e, shown) {
  const width = Math.max(280, Math.round(figure.clientWidth || 600));
  // Taller than wide would squeeze the time; on a wide screen a third of the width is enough.
  const height = Math.round(Math.min(Math.max(width * (width >= 700 ? 0.36 : 0.55), 260), 420));
  const title = chartTitle(e);
  figure.replaceChildren();
  const caption = document.createElement('figcaption');
  caption.textContent = title;
  caption.id = 'chart-title';
  const svg = el('svg', { viewBox: `0 0 ${width} ${height}`, width, height, role: 'img', 'aria-labelledby': 'chart-title' });
  const legend = document.createElement('div');
  legend.className = 'legend';
  figure.append(caption, svg, legend);
  const samples = e.series.reduce((n, s) => Math.max(n, s.values.length), 0);
  const redraw = (kind) => {
    drawChart(figure, e, shown);
    const again = figure.querySelector(`.legend-item.${kind}`);
    if (again) again.focus();
  };
  if (samples > 0 && e.intervalSeconds > 0) {
    sampleChart(svg, legend, e, width, height, shown, redraw);
  } else if (e.laps.length) {
    lapChart(svg, legend, e, width, height);
  } else {
    caption.textContent = `${title} \u2013 no samples or laps recorded`;
    svg.remove();
  }
}
