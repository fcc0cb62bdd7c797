// What FIT and TCX share: the exercise placed in UTC, its laps as spans of time and the moment
// of each sample.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "decoders/exercise.h"
#include "formats/time_zone.h"

namespace zendrik {

// A written file, or why none could be written.
struct ExportResult {
    std::string data;
    std::string error;  // empty when data holds the file

    bool Ok() const { return error.empty(); }
};

struct LapSpan {
    Tenths start = 0;  // from the exercise start
    Tenths end = 0;
    const Lap* lap = nullptr;  // null: the exercise has no laps and this one span covers it all
};

struct Timeline {
    std::int64_t startUtc = 0;  // seconds since 1970-01-01T00:00:00Z
    Tenths end = 0;             // the latest of the duration, the last lap end and the last sample
    Tenths sampleStep = 0;      // between two samples
    std::size_t samples = 0;
    std::vector<LapSpan> laps;  // never empty

    Tenths SampleTime(std::size_t i) const { return static_cast<Tenths>(i) * sampleStep; }
};

// The exercise's times, or nothing with `error` set when its start is not a date and time.
std::optional<Timeline> MakeTimeline(const Exercise& exercise, const TimeZone& zone,
                                     std::string& error);

// Distance covered by a speed series: speeds (value / divisor km/h, each over the interval that
// ends at its sample) add up to `speedTimesSeconds`; the result in centimetres.
inline std::int64_t DistanceCentimetres(std::int64_t speedTimesSeconds, int divisor) {
    const std::int64_t per =
        36LL * divisor;  // value * s / divisor km/h = value * s * 1000 / per cm
    return (speedTimesSeconds * 1000 + per / 2) / per;
}

// What one speed sample adds to DistanceCentimetres' sum over a step of `stepTenths`. A value no
// bicycle reaches is taken as no speed at all, which also keeps the sum far from overflowing.
inline std::int64_t SpeedTimesSeconds(const std::optional<int>& speed, Tenths stepTenths) {
    if (!speed || *speed <= 0 || *speed > 1000000) return 0;
    return static_cast<std::int64_t>(*speed) * (stepTenths / 10);
}

// Value i of a series, or nothing where there is no such series or it ends before i.
inline std::optional<int> SampleAt(const Series* s, std::size_t i) {
    if (!s || i >= s->values.size()) return std::nullopt;
    return s->values[i];
}

// The distance from the start at each of the timeline's samples, in centimetres; empty without a
// speed series. The speeds are samples of a wheel the watch counts all the time, so their sum
// misses what happened between two samples: where the watch kept the exercise's distance, the
// sums are scaled to end on it, so records, laps and session agree.
std::vector<std::int64_t> RecordDistances(const Exercise& exercise, const Timeline& timeline);

// Whole seconds of a count of tenths, rounded to the nearest.
inline std::int64_t RoundedSeconds(Tenths t) {
    return (t >= 0 ? t + 5 : t - 5) / 10;
}

}  // namespace zendrik
