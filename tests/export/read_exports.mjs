// Reads the FIT and TCX files of a folder with readers that share no code with Zendrik and prints
// what they found as one JSON object, keyed by file name, for export_readers_test to compare with
// the exercises the files were written from. A file a reader rejects gets an "error" entry.
import { readFile, readdir } from 'node:fs/promises';
import { join } from 'node:path';
import FitParser from 'fit-file-parser';
import { Decoder, Stream } from '@garmin/fitsdk';
import { XMLParser, XMLValidator } from 'fast-xml-parser';

const seconds = (date) => (date instanceof Date ? date.getTime() / 1000 : undefined);

async function readFit(bytes) {
  // force: false makes the parser check the header and file CRCs and refuse a file that fails.
  const parser = new FitParser({ force: false, mode: 'list', speedUnit: 'm/s', lengthUnit: 'm' });
  let data;
  try {
    data = await parser.parseAsync(bytes);
  } catch (error) {
    return { error: String(error) };
  }
  const garmin = new Decoder(Stream.fromBuffer(bytes));
  const integrity = garmin.isFIT() && garmin.checkIntegrity();
  const { messages, errors } = new Decoder(Stream.fromBuffer(bytes)).read({ convertDateTimesToDates: true });
  const pick = (list, keys) => (list ?? []).map((m) => Object.fromEntries(keys.filter((k) => m[k] !== undefined)
    .map((k) => [k, m[k] instanceof Date ? seconds(m[k]) : m[k]])));
  return {
    garmin: { integrity, errors: errors.map(String), records: (messages.recordMesgs ?? []).length,
              laps: (messages.lapMesgs ?? []).length, sessions: (messages.sessionMesgs ?? []).length,
              timeInZones: pick(messages.timeInZoneMesgs, ['referenceMesg', 'referenceIndex', 'timeInHrZone',
                                                           'hrZoneHighBoundary']) },
    fileId: pick(data.file_ids ?? (data.file_id ? [data.file_id] : []), ['type', 'manufacturer', 'time_created']),
    records: pick(data.records, ['timestamp', 'heart_rate', 'speed', 'cadence', 'distance', 'altitude']),
    laps: pick(data.laps, ['timestamp', 'start_time', 'total_elapsed_time', 'total_timer_time', 'total_distance',
                           'total_calories', 'avg_heart_rate', 'max_heart_rate', 'avg_cadence', 'lap_trigger']),
    sessions: pick(data.sessions, ['timestamp', 'start_time', 'total_elapsed_time', 'total_distance',
                                   'total_calories', 'sport', 'num_laps', 'avg_heart_rate', 'max_heart_rate',
                                   'avg_speed', 'max_speed', 'avg_cadence', 'max_cadence']),
    timeInZones: pick(data.time_in_zone, ['reference_mesg', 'reference_index', 'time_in_hr_zone',
                                          'hr_zone_high_boundary']),
    events: pick(data.events, ['timestamp', 'event', 'event_type']),
    activity: pick(data.activity ? [data.activity] : [], ['timestamp', 'local_timestamp', 'num_sessions']),
  };
}

function readTcx(text) {
  const valid = XMLValidator.validate(text);
  if (valid !== true) return { error: JSON.stringify(valid.err) };
  const parser = new XMLParser({
    ignoreAttributes: false, attributeNamePrefix: '@', parseTagValue: false,
    isArray: (name) => ['Activity', 'Lap', 'Track', 'Trackpoint'].includes(name),
  });
  const doc = parser.parse(text).TrainingCenterDatabase;
  const num = (v) => (v === undefined ? undefined : Number(v));
  const time = (v) => (v === undefined ? undefined : Date.parse(v) / 1000);
  const activity = doc.Activities.Activity[0];
  return {
    activities: doc.Activities.Activity.length,
    sport: activity['@Sport'],
    id: time(activity.Id),
    notes: activity.Notes,
    creator: activity.Creator?.Name,
    author: doc.Author?.Name,
    laps: (activity.Lap ?? []).map((lap) => ({
      startTime: time(lap['@StartTime']),
      totalTimeSeconds: num(lap.TotalTimeSeconds),
      distanceMeters: num(lap.DistanceMeters),
      calories: num(lap.Calories),
      avgHr: num(lap.AverageHeartRateBpm?.Value),
      maxHr: num(lap.MaximumHeartRateBpm?.Value),
      intensity: lap.Intensity,
      cadence: num(lap.Cadence),
      trigger: lap.TriggerMethod,
      tracks: (lap.Track ?? []).length,
      trackpoints: (lap.Track ?? []).flatMap((track) => track.Trackpoint ?? []).map((p) => ({
        time: time(p.Time),
        hr: num(p.HeartRateBpm?.Value),
        cadence: num(p.Cadence),
        distance: num(p.DistanceMeters),
        altitude: num(p.AltitudeMeters),
        speed: num(p.Extensions?.['ns3:TPX']?.['ns3:Speed']),
      })),
    })),
  };
}

const dir = process.argv[2];
const out = {};
for (const name of (await readdir(dir)).sort()) {
  const path = join(dir, name);
  if (name.endsWith('.fit')) out[name] = await readFit(await readFile(path));
  else if (name.endsWith('.tcx')) out[name] = readTcx(await readFile(path, 'utf8'));
}
process.stdout.write(JSON.stringify(out));
