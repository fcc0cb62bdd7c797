#include "decoders/exercise_conversion.h"

#include <algorithm>

#include "decoders/transfer_decoders.h"

namespace zendrik {

namespace {

Tenths ToTenths(const CTimeValue& t) {
    return t.InTenths();
}

LocalDateTime ToLocal(const CDateValue& date, const CTimeValue& time) {
    return {date.year, date.month, date.day, time.hours, time.minutes, time.seconds};
}

ExerciseSummary ToSummary(const CExerciseSummary& s) {
    return {ToLocal(s.date, s.start), ToTenths(s.length), s.avgHr, s.maxHr, s.name};
}

Series MakeSeries(SeriesKind kind, const char* unit, int divisor, const std::int32_t* values,
                  int count) {
    Series s{kind, unit, divisor, {}};
    if (values && count > 0) s.values.assign(values, values + count);
    return s;
}

// The decoders cap their sample counts at the series arrays; a count from elsewhere is held to
// the same bound, so a view is never read past its end.
int BoundedSamples(int samples) {
    return std::clamp(samples, 0, kMaxSeriesSamples);
}

// Zone limits and sample counts as times: each sample stands for `interval` seconds.
std::vector<Zone> SampledZones(const int (&lower)[3], const int (&upper)[3],
                               const CZoneCounts (&counts)[3], int interval) {
    std::vector<Zone> zones;
    const Tenths perSample = static_cast<Tenths>(interval) * 10;
    for (int z = 0; z < 3; ++z) {
        zones.push_back({lower[z], upper[z], counts[z].below * perSample, counts[z].in * perSample,
                         counts[z].above * perSample});
    }
    return zones;
}

WatchUser ToUser(const CRsUser& u) {
    WatchUser user{u.height, {u.birth[0], u.birth[1], u.birth[2]}, u.maxHr, u.maxVo2, u.restHr};
    return user;
}

// These watches keep the distance at the end of each lap, counted from the start; a lap's own
// distance is what it adds. A lap that seems to go back covers nothing rather than less than
// nothing.
std::int64_t LapDistance(int atEnd, int atPreviousEnd, int metresPerUnit) {
    const std::int64_t added = static_cast<std::int64_t>(atEnd) - atPreviousEnd;
    return std::max<std::int64_t>(0, added) * metresPerUnit;
}

}  // namespace

Exercise ToExercise(const CS410Exercise& x, const CSampleSeriesView& view) {
    Exercise e;
    e.family = x.s510 ? WatchFamily::S510 : WatchFamily::S410;
    const bool bikeData = x.s510 && x.cycling;
    e.sport = bikeData ? Sport::Cycling : Sport::Generic;
    e.name = x.current.name;
    e.start = ToLocal(x.current.date, x.current.start);
    e.duration = ToTenths(x.current.length);
    e.intervalSeconds = x.interval;
    const int n = BoundedSamples(x.samples);
    e.series.push_back(MakeSeries(SeriesKind::HeartRate, "bpm", 1, view.hr, n));
    // The watch's speed byte counts half km/h; the decoder has already made it tenths.
    if (bikeData && x.speed) {
        e.series.push_back(MakeSeries(SeriesKind::Speed, "km/h", 10, view.speed, n));
    }
    if (bikeData && x.cadence) {
        e.series.push_back(MakeSeries(SeriesKind::Cadence, "rpm", 1, view.cadence, n));
    }
    for (const CS410Lap& l : x.laps) {
        Lap lap;
        lap.split = ToTenths(l.time);
        lap.endHr = l.endHr;
        lap.minHr = l.minHr;
        lap.avgHr = l.avgHr;
        lap.maxHr = l.maxHr;
        if (x.s510) lap.distanceMeters = l.distance;
        e.laps.push_back(lap);
    }
    e.zones = SampledZones(x.lower, x.upper, x.zones, x.interval);
    e.avgHr = x.current.avgHr;
    e.maxHr = x.current.maxHr;
    e.caloriesTenths = x.calories;
    if (x.s510) e.distanceMeters = x.distance * 100;  // tenths of a km
    for (const CExerciseSummary& s : x.earlier) e.earlier.push_back(ToSummary(s));
    S410Extras extras;
    extras.speedFlag = x.speed;
    extras.cadenceFlag = x.cadence;
    extras.cyclingFlag = x.cycling;
    extras.totalCalories = x.totalCalories;
    extras.totalHours = x.totalHours;
    extras.totalMinutes = x.totalMinutes;
    extras.totalDistanceKm = x.totalDistance;
    extras.length = x.current.length;
    for (const CS410Lap& l : x.laps) extras.lapTimes.push_back(l.time);
    for (const CExerciseSummary& s : x.earlier) extras.earlierLengths.push_back(s.length);
    e.extras = std::move(extras);
    return e;
}

Exercise ToExercise(const CCoachExercise& x, const std::int32_t* hr) {
    Exercise e;
    e.family = WatchFamily::Coach;
    e.start = ToLocal(x.date, x.start);
    e.duration = ToTenths(x.length);
    e.intervalSeconds = x.interval;
    e.series.push_back(MakeSeries(SeriesKind::HeartRate, "bpm", 1, hr, BoundedSamples(x.samples)));
    for (const CCoachLap& l : x.laps) {
        Lap lap;
        lap.split = ToTenths(l.time);
        lap.endHr = l.endHr;
        lap.minHr = l.minHr;
        lap.avgHr = l.avgHr;
        lap.maxHr = l.maxHr;
        e.laps.push_back(lap);
    }
    e.zones = SampledZones(x.lower, x.upper, x.zones, x.interval);
    CoachExtras extras;
    extras.coachValues[0] = x.coachValues[0];
    extras.coachValues[1] = x.coachValues[1];
    extras.length = x.length;
    for (const CCoachLap& l : x.laps) extras.lapTimes.push_back(l.time);
    e.extras = std::move(extras);
    return e;
}

Exercise ToExercise(const CRs200Exercise& x) {
    Exercise e;
    e.family = WatchFamily::Rs200;
    e.sport = Sport::Running;
    e.name = x.name;
    e.start = ToLocal(x.date, x.start.Value());
    e.duration = ToTenths(x.length);
    int previousDistance = 0;
    for (const CRs200Lap& l : x.laps) {
        Lap lap;
        lap.split = ToTenths(l.time);
        lap.automatic = l.autoLap;
        lap.endHr = l.endHr;
        lap.avgHr = l.avgHr;
        lap.maxHr = l.maxHr;
        // Without a foot pod the watch has no distance and no pace to tell.
        if (x.distanceData) {
            lap.endPace = l.endPace;
            lap.avgPace = l.avgPace;
            lap.distanceMeters =
                LapDistance(l.distance, previousDistance, 10);  // hundredths of a km
        }
        previousDistance = l.distance;
        e.laps.push_back(lap);
    }
    for (int z = 0; z < 5; ++z) {
        Zone zone;
        zone.lower = x.sportLower[z];
        zone.upper = x.sportUpper[z];
        zone.in = ToTenths(x.sportInZone[z]);
        e.zones.push_back(zone);
    }
    e.avgHr = x.avgHr;
    e.maxHr = x.maxHr;
    e.caloriesTenths = static_cast<std::int64_t>(x.calories) * 10;
    if (x.distanceData) e.distanceMeters = static_cast<std::int64_t>(x.distance) * 10;
    Rs200Extras extras;
    for (int z = 0; z < 3; ++z) {
        for (int part = 0; part < 3; ++part) extras.targetZones[z][part] = x.targetZones[z][part];
    }
    extras.distanceData = x.distanceData;
    extras.maxPace = x.maxPace;
    extras.avgPace = x.avgPace;
    extras.lapCount = x.lapCount;
    extras.bestLap = x.bestLap;
    extras.bestLapTime = x.bestLapTime;
    extras.user = ToUser(x.user);
    extras.start = x.start;
    extras.length = x.length;
    for (int z = 0; z < 5; ++z) extras.sportInZone[z] = x.sportInZone[z];
    for (const CRs200Lap& l : x.laps) {
        extras.lapRecords.push_back({l.time, l.endPace, l.avgPace, l.distance});
    }
    e.extras = std::move(extras);
    return e;
}

Exercise ToExercise(const CCs200Exercise& x) {
    Exercise e;
    e.family = WatchFamily::Cs200;
    e.sport = Sport::Cycling;
    e.start = ToLocal(x.date, x.start.Value());
    e.duration = ToTenths(x.length.Value());
    int previousDistance = 0;
    for (const CCs200Lap& l : x.laps) {
        Lap lap;
        lap.split = ToTenths(l.time);
        lap.automatic = l.autoLap;
        lap.endHr = l.endHr;
        lap.avgHr = l.avgHr;
        lap.endSpeed = l.endSpeed;
        lap.endCadence = l.endCadence;
        lap.avgCadence = l.avgCadence;
        lap.distanceMeters = LapDistance(l.distance, previousDistance, 100);  // tenths of a km
        previousDistance = l.distance;
        e.laps.push_back(lap);
    }
    Zone zone;
    zone.lower = x.lowerLimit;
    zone.upper = x.upperLimit;
    e.zones.push_back(zone);
    e.avgHr = x.avgHr;
    e.maxHr = x.maxHr;
    e.caloriesTenths = static_cast<std::int64_t>(x.calories) * 10;
    e.distanceMeters = static_cast<std::int64_t>(x.distance) * 100;
    e.avgSpeed = x.avgSpeed;
    e.maxSpeed = x.maxSpeed;
    e.avgCadence = x.avgCadence;
    e.maxCadence = x.maxCadence;
    Cs200Extras extras;
    for (int i = 0; i < 3; ++i) extras.times[i] = x.times[i];
    extras.rideTime = x.rideTime;
    extras.lapCount = x.lapCount;
    extras.bestLap = x.bestLap;
    extras.bestLapTime = x.bestLapTime;
    extras.user = ToUser(x.user);
    extras.start = x.start;
    extras.length = x.length;
    for (const CCs200Lap& l : x.laps) extras.lapRecords.push_back({l.time, l.distance});
    e.extras = std::move(extras);
    return e;
}

}  // namespace zendrik
