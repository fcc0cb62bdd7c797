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
struct S410Extras {
    int speedFlag = 0;
    int cadenceFlag = 0;
    int cyclingFlag = 0;
    std::int64_t totalCalories = 0;
    std::int64_t totalHours = 0;
    int totalMinutes = 0;
    std::int64_t totalDistanceKm = 0;  // S510
};

struct CoachExtras {
    int coachValues[2] = {};
};

struct Rs200Extras {
    Tenths targetZones[3][3] = {};  // per zone: below, in, above
    bool distanceData = false;      // false: no foot pod, so no pace or distance
    int maxPace = 0;                // tenths of a second per km
    int avgPace = 0;
    int lapCount = 0;
    int bestLap = 0;
    Tenths bestLapTime = 0;
    WatchUser user;
};

struct Cs200Extras {
    Tenths times[3] = {};  // Time1 to Time3 of the watch
    Tenths rideTime = 0;
    int lapCount = 0;
    int bestLap = 0;
    Tenths bestLapTime = 0;
    WatchUser user;
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
