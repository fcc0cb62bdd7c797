// One decoded exercise, whatever watch family it came from: what the export formats write and
// what the HRM and CSV texts can be rendered from. Values stay in the units the watches count in
// (tenths of a second, tenths of km/h, ...), so nothing is rounded on the way in; each writer
// converts to the units of its own format.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace zendrik {

enum class WatchFamily { S410, S510, Coach, Rs200, Cs200 };
enum class Sport { Generic, Running, Cycling };

// "S410", "S510", "Coach", "RS200", "CS200".
const char* FamilyName(WatchFamily family);
// "generic", "running", "cycling".
const char* SportName(Sport sport);

// A date and time of day as the watch keeps it: local time, no zone attached.
struct LocalDateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Durations and times from the exercise start, in tenths of a second.
using Tenths = std::int64_t;

// A time or duration in the fields the watch keeps it in, each as it was sent: a BCD byte with a
// nibble above 9, a packed minute of 63 or a tenth of 15 stays as it is, so a report can show
// what the watch said where the normalised value would show something else.
struct WatchTime {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int tenths = 0;
    // Whole seconds; the tenths do not count.
    int TotalSeconds() const { return hours * 3600 + minutes * 60 + seconds; }
    // As a duration, every field at its own weight.
    Tenths InTenths() const;
};

// A time as the watch's BCD bytes. Some report lines show the bytes digit for digit (a byte with
// a nibble above 9 shows as a hex digit there), others show the numbers they stand for.
struct BcdClock {
    int hours = 0;  // whole byte, no mask
    int minutes = 0;
    int seconds = 0;
    int tenths = 0;  // already the high nibble of its byte, 0-15

    // The numbers the digits stand for.
    WatchTime Value() const;
};

enum class SeriesKind { HeartRate, Speed, Cadence, Altitude };

// A recorded series: one value per sample, sample i taken at i * interval seconds from the start.
// The value in the unit is value / divisor (speed: tenths of km/h, divisor 10).
struct Series {
    SeriesKind kind = SeriesKind::HeartRate;
    std::string unit;  // "bpm", "km/h", "rpm", "m"
    int divisor = 1;
    std::vector<int> values;
};

struct Lap {
    Tenths split = 0;  // from the exercise start to the end of the lap
    bool automatic = false;
    std::optional<int> endHr;
    std::optional<int> minHr;
    std::optional<int> avgHr;
    std::optional<int> maxHr;
    std::optional<std::int64_t> distanceMeters;  // covered in this lap
    std::optional<int> endSpeed;                 // tenths of km/h
    std::optional<int> endCadence;
    std::optional<int> avgCadence;
    std::optional<int> endPace;  // tenths of a second per km
    std::optional<int> avgPace;
};

// Heart-rate limits of a zone and the time spent below, in and above it, where the watch keeps
// them.
struct Zone {
    std::optional<int> lower;
    std::optional<int> upper;
    std::optional<Tenths> below;
    std::optional<Tenths> in;
    std::optional<Tenths> above;
};

// An exercise the watch lists besides the transferred one.
struct ExerciseSummary {
    LocalDateTime start;
    Tenths duration = 0;
    int avgHr = 0;
    int maxHr = 0;
    std::string name;
};

// What the watch knows of its user (RS200/CS200).
struct WatchUser {
    int height = 0;
    int birth[3] = {};  // three numbers, in the order the watch keeps them
    int maxHr = 0;
    int maxVo2 = 0;
    int restHr = 0;
};

// The S410/S510's own values: what the SMode line says was recorded and the watch's totals.
// The watch's own forms of the times the reports print: the length, each lap's split (lap 1
// first, as many as `laps`) and, for the S410/S510, the length of each earlier exercise.
struct S410Extras {
    int speedFlag = 0;
    int cadenceFlag = 0;
    int cyclingFlag = 0;
    std::int64_t totalCalories = 0;
    std::int64_t totalHours = 0;
    int totalMinutes = 0;
    std::int64_t totalDistanceKm = 0;  // S510
    WatchTime length;
    std::vector<WatchTime> lapTimes;
    std::vector<WatchTime> earlierLengths;
};

struct CoachExtras {
    int coachValues[2] = {};
    WatchTime length;  // the end of the last lap
    std::vector<WatchTime> lapTimes;
};

// An RS200 lap record's values the reports print as the watch keeps them: its split, its paces
// (tenths of a second per km, sent with or without a foot pod) and the distance at its end
// (hundredths of a km from the start).
struct Rs200LapRecord {
    WatchTime time;
    int endPace = 0;
    int avgPace = 0;
    int distance = 0;
};

struct Rs200Extras {
    WatchTime targetZones[3][3] = {};  // per zone: below, in, above
    bool distanceData = false;         // false: no foot pod, so no pace or distance
    int maxPace = 0;                   // tenths of a second per km
    int avgPace = 0;
    int lapCount = 0;
    int bestLap = 0;
    WatchTime bestLapTime;
    WatchUser user;
    BcdClock start;
    WatchTime length;
    WatchTime sportInZone[5];  // the time in each sport zone of `zones`
    std::vector<Rs200LapRecord> lapRecords;  // lap 1 first
};

// A CS200 lap record's split and the distance at its end (tenths of a km from the start).
struct Cs200LapRecord {
    WatchTime time;
    int distance = 0;
};

struct Cs200Extras {
    BcdClock times[3] = {};  // Time1 to Time3 of the watch
    BcdClock rideTime;
    int lapCount = 0;
    int bestLap = 0;
    WatchTime bestLapTime;
    WatchUser user;
    BcdClock start;
    BcdClock length;
    std::vector<Cs200LapRecord> lapRecords;  // lap 1 first
};

using FamilyExtras =
    std::variant<std::monostate, S410Extras, CoachExtras, Rs200Extras, Cs200Extras>;

struct Exercise {
    WatchFamily family = WatchFamily::S410;
    Sport sport = Sport::Generic;
    std::string name;
    LocalDateTime start;
    Tenths duration = 0;
    int intervalSeconds = 0;  // 0 when nothing was sampled
    std::vector<Series> series;
    std::vector<Lap> laps;
    std::vector<Zone> zones;
    std::optional<int> avgHr;
    std::optional<int> maxHr;
    std::optional<std::int64_t> caloriesTenths;  // kcal in tenths
    std::optional<std::int64_t> distanceMeters;
    std::optional<int> avgSpeed;  // tenths of km/h
    std::optional<int> maxSpeed;
    std::optional<int> avgCadence;
    std::optional<int> maxCadence;
    std::vector<ExerciseSummary> earlier;
    FamilyExtras extras;

    // The series of that kind, or null.
    const Series* Find(SeriesKind kind) const;
    // How many samples there are: the length of the longest series.
    std::size_t SampleCount() const;
};

}  // namespace zendrik
