#include "support/sample_exercises.h"

namespace zendrik {

namespace testing_streams {

using namespace zendrik;

namespace {

WatchTime Hms(int h, int m, int s, int tenths = 0) {
    return {h, m, s, tenths};
}

// Heart rates with a lost contact (0) every so often, speeds in tenths of km/h, cadences.
std::vector<Series> SampleSeries(int n, bool bike) {
    std::vector<Series> series{{SeriesKind::HeartRate, "bpm", 1, {}}};
    if (bike) {
        series.push_back({SeriesKind::Speed, "km/h", 10, {}});
        series.push_back({SeriesKind::Cadence, "rpm", 1, {}});
    }
    for (int i = 0; i < n; ++i) {
        series[0].values.push_back(i % 13 == 5 ? 0 : 100 + i);
        if (!bike) continue;
        series[1].values.push_back(5 * (40 + i % 20));
        series[2].values.push_back(70 + i % 25);
    }
    return series;
}

Lap SampledLap(const WatchTime& time, int endHr, int minHr, int avgHr, int maxHr) {
    Lap lap;
    lap.split = time.InTenths();
    lap.endHr = endHr;
    lap.minHr = minHr;
    lap.avgHr = avgHr;
    lap.maxHr = maxHr;
    return lap;
}

// Zones of the S410 family's default limits with no time counted in them.
std::vector<Zone> EmptyZones() {
    return {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}};
}

}  // namespace

Exercise S510Ride() {
    Exercise e;
    e.family = WatchFamily::S510;
    e.sport = Sport::Cycling;
    e.name = "Ride";
    e.start = {2006, 7, 15, 7, 30, 15};
    e.duration = Hms(0, 10, 0).InTenths();
    e.intervalSeconds = 15;
    e.series = SampleSeries(40, true);
    const WatchTime splits[] = {Hms(0, 3, 0), Hms(0, 6, 30), Hms(0, 9, 45, 5)};
    e.laps = {SampledLap(splits[0], 120, 101, 118, 139), SampledLap(splits[1], 125, 110, 130, 150),
              SampledLap(splits[2], 128, 112, 133, 170)};
    const std::int64_t distances[] = {1600, 1800, 1700};
    for (std::size_t i = 0; i < 3; ++i) e.laps[i].distanceMeters = distances[i];
    e.zones = EmptyZones();
    e.avgHr = 131;
    e.maxHr = 170;
    e.caloriesTenths = 2345;  // 234.5 kcal
    e.distanceMeters = 5200;  // 5.2 km
    S410Extras extras;
    extras.speedFlag = extras.cadenceFlag = extras.cyclingFlag = 1;
    extras.length = Hms(0, 10, 0);
    extras.lapTimes.assign(std::begin(splits), std::end(splits));
    e.extras = extras;
    return e;
}

Exercise S410WithoutLaps(const LocalDateTime& start) {
    Exercise e;
    e.name = "Tempo";
    e.start = start;
    e.duration = Hms(0, 20, 0).InTenths();
    e.intervalSeconds = 60;
    e.series = SampleSeries(20, false);
    e.zones = EmptyZones();
    e.avgHr = 140;
    e.maxHr = 165;
    e.caloriesTenths = 1500;
    S410Extras extras;
    extras.length = Hms(0, 20, 0);
    e.extras = extras;
    return e;
}

Exercise S410WithLaps() {
    Exercise e = S410WithoutLaps({2005, 1, 20, 18, 0, 0});
    e.laps = {{}, {}};
    e.laps[0].split = 6000;
    e.laps[0].avgHr = 130;
    e.laps[0].maxHr = 150;
    e.laps[1].split = 12000;
    e.laps[1].avgHr = 145;
    e.laps[1].maxHr = 165;
    return e;
}

Exercise CoachExercise() {
    Exercise e;
    e.family = WatchFamily::Coach;
    e.start = {2007, 3, 5, 7, 30, 15};
    e.duration = Hms(0, 12, 0).InTenths();
    e.intervalSeconds = 30;
    e.series = SampleSeries(24, false);
    e.laps = {SampledLap(Hms(0, 5, 0), 120, 100, 115, 130),
              SampledLap(Hms(0, 12, 0), 140, 118, 135, 160)};
    e.zones = EmptyZones();
    CoachExtras extras;
    extras.length = Hms(0, 12, 0);
    extras.lapTimes = {Hms(0, 5, 0), Hms(0, 12, 0)};
    e.extras = extras;
    return e;
}

Exercise Rs200Run() {
    Exercise e;
    e.family = WatchFamily::Rs200;
    e.sport = Sport::Running;
    e.name = "Long run";
    e.start = {2007, 3, 25, 1, 30, 0};  // in the hour the clocks skip that night
    e.duration = Hms(0, 42, 17, 3).InTenths();
    struct {
        WatchTime time;
        bool automatic;
        int endHr, avgHr, maxHr, endPace, avgPace, distance;
    } const laps[] = {{Hms(0, 15, 0), false, 150, 145, 160, 3100, 3050, 300},
                      {Hms(0, 30, 10, 2), true, 160, 152, 170, 2900, 3000, 600},
                      {Hms(0, 42, 17, 3), false, 170, 160, 178, 2800, 2950, 812}};
    Rs200Extras extras;
    int previous = 0;
    for (const auto& l : laps) {
        Lap lap;
        lap.split = l.time.InTenths();
        lap.automatic = l.automatic;
        lap.endHr = l.endHr;
        lap.avgHr = l.avgHr;
        lap.maxHr = l.maxHr;
        lap.endPace = l.endPace;
        lap.avgPace = l.avgPace;
        lap.distanceMeters = (l.distance - previous) * 10;
        previous = l.distance;
        e.laps.push_back(lap);
        extras.lapRecords.push_back({l.time, l.endPace, l.avgPace, l.distance});
    }
    for (int z = 0; z < 5; ++z) e.zones.push_back({0, 0, std::nullopt, 0, std::nullopt});
    e.avgHr = 151;
    e.maxHr = 178;
    e.caloriesTenths = 6120;
    e.distanceMeters = 8120;
    extras.distanceData = true;
    extras.start = {0x01, 0x30, 0x00, 0};
    extras.length = Hms(0, 42, 17, 3);
    e.extras = extras;
    return e;
}

Exercise Cs200Ride() {
    Exercise e;
    e.family = WatchFamily::Cs200;
    e.sport = Sport::Cycling;
    e.start = {2007, 9, 15, 9, 41, 7};
    e.duration = Hms(1, 12, 45, 6).InTenths();
    struct {
        WatchTime time;
        bool automatic;
        int endHr, avgHr, endSpeed, endCadence, avgCadence, distance;
    } const laps[] = {{Hms(0, 40, 0), false, 135, 130, 250, 85, 82, 170},
                      {Hms(1, 12, 45, 6), true, 150, 145, 260, 90, 86, 312}};
    Cs200Extras extras;
    int previous = 0;
    for (const auto& l : laps) {
        Lap lap;
        lap.split = l.time.InTenths();
        lap.automatic = l.automatic;
        lap.endHr = l.endHr;
        lap.avgHr = l.avgHr;
        lap.endSpeed = l.endSpeed;
        lap.endCadence = l.endCadence;
        lap.avgCadence = l.avgCadence;
        lap.distanceMeters = (l.distance - previous) * 100;
        previous = l.distance;
        e.laps.push_back(lap);
        extras.lapRecords.push_back({l.time, l.distance});
    }
    e.zones.push_back({0, 0, std::nullopt, std::nullopt, std::nullopt});
    e.avgHr = 138;
    e.maxHr = 171;
    e.caloriesTenths = 9870;
    e.distanceMeters = 31200;
    e.avgSpeed = 256;
    e.maxSpeed = 488;
    e.avgCadence = 84;
    e.maxCadence = 112;
    extras.start = {0x09, 0x41, 0x07, 0};
    extras.length = {0x01, 0x12, 0x45, 6};
    e.extras = extras;
    return e;
}

}  // namespace testing_streams

}  // namespace zendrik
