#include "formats/export_timeline.h"

#include <algorithm>
#include <cmath>

namespace zendrik {

namespace {

// The longest exercise a watch could keep is a few hundred hours; past a thousand days the times
// are not an exercise's, and the dates they lead to would leave every format's range.
constexpr Tenths kLongestExercise = 1000LL * 24 * 3600 * 10;
// Dates the formats can write with four-digit years, the longest exercise included.
constexpr std::int64_t kFirstStart = -2208988800;                          // 1900-01-01T00:00:00Z
constexpr std::int64_t kLastStart = 253402300799 - kLongestExercise / 10;  // 9999-12-31T23:59:59Z

}  // namespace

std::optional<Timeline> MakeTimeline(const Exercise& x, const TimeZone& zone, std::string& error) {
    const std::optional<std::int64_t> start = zone.ToUtc(x.start);
    if (!start) {
        error = "The exercise's start is not a valid date and time.";
        return std::nullopt;
    }
    if (*start < kFirstStart || *start > kLastStart) {
        error = "The exercise's start lies outside the years 1900 to 9999.";
        return std::nullopt;
    }
    Timeline t;
    t.startUtc = *start;
    t.samples = x.SampleCount();
    // A recording interval of 0 (a length shorter than one second per sample) would put every
    // sample at the same moment; a second apart keeps them in order.
    t.sampleStep = static_cast<Tenths>(std::max(x.intervalSeconds, 1)) * 10;
    t.end = std::max<Tenths>(x.duration, 0);
    if (t.samples > 0) t.end = std::max(t.end, t.SampleTime(t.samples - 1));

    // Laps follow each other; a split that goes back in time closes an empty lap rather than
    // one that ends before it starts.
    Tenths previous = 0;
    for (const Lap& lap : x.laps) {
        const Tenths end = std::max(previous, lap.split);
        t.laps.push_back({previous, end, &lap});
        previous = end;
    }
    t.end = std::max(t.end, previous);
    if (t.end > kLongestExercise || t.sampleStep > kLongestExercise) {
        error = "The exercise's times are out of range.";
        return std::nullopt;
    }
    if (t.laps.empty()) t.laps.push_back({0, t.end, nullptr});
    return t;
}

std::vector<std::int64_t> RecordDistances(const Exercise& exercise, const Timeline& timeline) {
    const Series* speed = exercise.Find(SeriesKind::Speed);
    if (!speed || speed->divisor <= 0) return {};
    std::vector<std::int64_t> speedTimesSeconds(timeline.samples, 0);
    for (std::size_t i = 1; i < timeline.samples; ++i) {
        speedTimesSeconds[i] =
            speedTimesSeconds[i - 1] + SpeedTimesSeconds(SampleAt(speed, i), timeline.sampleStep);
    }
    const std::int64_t summed = speedTimesSeconds.empty() ? 0 : speedTimesSeconds.back();
    // Beyond a hundred thousand kilometres the total is not a watch's count.
    constexpr std::int64_t kFarthestMeters = 100'000'000;
    const bool scaled = summed > 0 && exercise.distanceMeters && *exercise.distanceMeters > 0 &&
                        *exercise.distanceMeters <= kFarthestMeters;
    std::vector<std::int64_t> centimetres(timeline.samples, 0);
    for (std::size_t i = 0; i < timeline.samples; ++i) {
        // Scaled from the exact sums, so no rounding of the sums is scaled up with them.
        centimetres[i] = scaled ? std::llround(static_cast<double>(speedTimesSeconds[i]) *
                                               static_cast<double>(*exercise.distanceMeters) *
                                               100.0 / static_cast<double>(summed))
                                : DistanceCentimetres(speedTimesSeconds[i], speed->divisor);
    }
    return centimetres;
}

}  // namespace zendrik
