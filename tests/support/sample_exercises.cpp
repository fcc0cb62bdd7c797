#include "support/sample_exercises.h"

namespace testing_streams {

using zendrik::Exercise;

namespace {

CTimeValue Hms(int h, int m, int s, int tenths = 0) {
    return {h, m, s, tenths};
}

// Heart rates with a lost contact (0) every so often, speeds in tenths of km/h, cadences.
struct SeriesArrays {
    std::int32_t hr[120] = {};
    std::int32_t speed[120] = {};
    std::int32_t cadence[120] = {};
    explicit SeriesArrays(int n) {
        for (int i = 0; i < n; ++i) {
            hr[i] = i % 13 == 5 ? 0 : 100 + i;
            speed[i] = 5 * (40 + i % 20);
            cadence[i] = 70 + i % 25;
        }
    }
};

}  // namespace

Exercise S510Ride() {
    CS410Exercise x;
    x.s510 = true;
    x.speed = x.cadence = x.cycling = 1;
    x.interval = 15;
    x.samples = 40;
    x.current = {{2006, 7, 15}, Hms(7, 30, 15), Hms(0, 10, 0), 131, 170, "Ride"};
    x.calories = 2345;  // 234.5 kcal
    x.distance = 52;    // 5.2 km
    x.laps = {{Hms(0, 3, 0), 120, 101, 118, 139, 1600},
              {Hms(0, 6, 30), 125, 110, 130, 150, 1800},
              {Hms(0, 9, 45, 5), 128, 112, 133, 170, 1700}};
    const SeriesArrays s(x.samples);
    return zendrik::ToExercise(x, {s.hr, s.speed, s.cadence});
}

Exercise S410WithoutLaps(const CDateValue& date, const CTimeValue& start) {
    CS410Exercise x;
    x.interval = 60;
    x.samples = 20;
    x.current = {date, start, Hms(0, 20, 0), 140, 165, "Tempo"};
    x.calories = 1500;
    const SeriesArrays s(x.samples);
    return zendrik::ToExercise(x, {s.hr, s.speed, s.cadence});
}

Exercise S410WithLaps() {
    Exercise e = S410WithoutLaps({2005, 1, 20}, Hms(18, 0, 0));
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
    CCoachExercise x;
    x.date = {2007, 3, 5};
    x.start = Hms(7, 30, 15);
    x.length = Hms(0, 12, 0);
    x.interval = 30;
    x.samples = 24;
    x.laps = {{Hms(0, 5, 0), 120, 100, 115, 130}, {Hms(0, 12, 0), 140, 118, 135, 160}};
    const SeriesArrays s(x.samples);
    return zendrik::ToExercise(x, s.hr);
}

Exercise Rs200Run() {
    CRs200Exercise x;
    x.name = "Long run";
    x.date = {2007, 3, 25};
    x.start = {0x01, 0x30, 0x00, 0};  // BCD, in the hour the clocks skip that night
    x.length = Hms(0, 42, 17, 3);
    x.avgHr = 151;
    x.maxHr = 178;
    x.calories = 612;
    x.distanceData = true;
    x.distance = 812;
    x.laps = {{Hms(0, 15, 0), false, 150, 145, 160, 3100, 3050, 300},
              {Hms(0, 30, 10, 2), true, 160, 152, 170, 2900, 3000, 600},
              {Hms(0, 42, 17, 3), false, 170, 160, 178, 2800, 2950, 812}};
    return zendrik::ToExercise(x);
}

Exercise Cs200Ride() {
    CCs200Exercise x;
    x.date = {2007, 9, 15};
    x.start = {0x09, 0x41, 0x07, 0};
    x.length = {0x01, 0x12, 0x45, 6};
    x.avgHr = 138;
    x.maxHr = 171;
    x.calories = 987;
    x.distance = 312;
    x.avgSpeed = 256;
    x.maxSpeed = 488;
    x.avgCadence = 84;
    x.maxCadence = 112;
    x.laps = {{Hms(0, 40, 0), false, 135, 130, 250, 85, 82, 170},
              {Hms(1, 12, 45, 6), true, 150, 145, 260, 90, 86, 312}};
    return zendrik::ToExercise(x);
}

}  // namespace testing_streams
