// Checks an S410/S510 transfer block by block and takes the exercise values from its blocks.
#include <algorithm>
#include <vector>

#include "decoders/block_table.h"
#include "decoders/stream_values.h"
#include "decoders/text_append.h"
#include "decoders/transfer_decoders.h"
#include "reception/stream_check.h"

namespace zendrik {

namespace {

constexpr int kLapBytesPerBlock = 60;
constexpr int kLongSeries = 60;  // a longer series takes two blocks

// One exercise summary record, and the length in the watch's own fields the report prints.
struct Summary {
    ExerciseSummary values;
    WatchTime length;
};

Summary ReadSummary(const ByteView& q) {
    Summary s;
    if ((q[0] & 0x0F) == 0) {
        s.values.name = "BasicUse";
    } else {
        for (int i = 1; i <= 7 && AppendWatchCharacter(s.values.name, q[i]); ++i) {
        }
    }
    const WatchTime start = BcdTimeOfDay(q + 8, 0x3F);
    const int yy = BcdToInt(q[12]);
    s.values.start = {yy < 90 ? 2000 + yy : 1900 + yy, q[13] & 0x0F, BcdToInt(q[11] & 0x3F),
                      start.hours, start.minutes, start.seconds};
    s.length = BcdDuration(q + 13, 0x3F);  // shares q[13]: month below, tenths above
    s.values.duration = s.length.InTenths();
    s.values.avgHr = q[17];
    s.values.maxHr = q[18];
    return s;
}

int IntervalCodeSeconds(int code) {
    static const int kSeconds[] = {15, 30, 60, 120, 240, 480};
    code &= 0x0F;
    return code < 6 ? kSeconds[code] : 1;
}

int RecordingInterval(int samples, const zendrik::WatchTime& length, int code) {
    if (samples == 0) return IntervalCodeSeconds(code);
    return ((length.TotalSeconds() / samples) + 14) / 15 * 15;
}

// Reads one series from its first block on, moving to the next block whenever the sample index
// reaches the length of the block being read. Returns the block after the last one read.
int ReadSeries(const BlockTable& blocks, int block, int samples, int scale, std::vector<int>& out) {
    ByteView data = blocks.Data(block);
    out.resize(static_cast<std::size_t>(samples));
    std::ptrdiff_t offset = 0;
    for (int i = 0; i < samples; ++i) {
        if (i == blocks.Length(block)) {
            data = blocks.Data(++block);
            offset = 0;
        }
        out[static_cast<std::size_t>(i)] = data[offset++] * scale;
    }
    return block + 1;
}

}  // namespace

Transfer ReadS410Transfer(const ReceivedBytes& b, const DecodeContext&) {
    Transfer transfer;
    BlockScan scan;
    if (!ScanCheckedTransfer(b, StreamLayout::S410Blocks, transfer, scan)) return transfer;
    const BlockTable blocks(b, scan);
    const int nb = scan.announced;

    Exercise x;
    S410Extras extras;
    const ByteView first = blocks.Data(0);
    const bool s510 = b[6] == 0x51;
    x.family = s510 ? WatchFamily::S510 : WatchFamily::S410;
    const int s = s510 ? 1 : 0;
    // The count byte can claim more samples than a series holds.
    const int n = std::min(first[0], kMaxSeriesSamples);
    if (s510) {
        const int flags = first[26];
        extras.speedFlag = flags & 1;
        extras.cadenceFlag = (flags >> 2) & 1;
        extras.cyclingFlag = (flags & 0x30) ? 1 : 0;
    }
    const bool bikeData = s510 && extras.cyclingFlag;
    x.sport = bikeData ? Sport::Cycling : Sport::Generic;
    const Summary current = ReadSummary(first + 2);
    x.name = current.values.name;
    x.start = current.values.start;
    x.duration = current.values.duration;
    x.avgHr = current.values.avgHr;
    x.maxHr = current.values.maxHr;
    extras.length = current.length;
    x.intervalSeconds = RecordingInterval(n, current.length, first[1]);
    int lower[3] = {};
    int upper[3] = {};
    for (int z = 0; z < 3; ++z) {
        lower[z] = first[27 + s + 2 * z];
        upper[z] = first[28 + s + 2 * z];
    }

    // The watch's speed byte counts half km/h: times 5 makes tenths.
    Series hr{SeriesKind::HeartRate, "bpm", 1, {}};
    int next = ReadSeries(blocks, 2, n, 1, hr.values);
    if (bikeData && extras.speedFlag) {
        Series speed{SeriesKind::Speed, "km/h", 10, {}};
        next = ReadSeries(blocks, next, n, 5, speed.values);
        x.series.push_back(std::move(speed));
    }
    if (bikeData && extras.cadenceFlag) {
        Series cadence{SeriesKind::Cadence, "rpm", 1, {}};
        ReadSeries(blocks, next, n, 1, cadence.values);
        x.series.push_back(std::move(cadence));
    }
    x.series.insert(x.series.begin(), std::move(hr));
    const std::vector<int>& heartRates = x.series.front().values;

    // Lap records, gathered from at most 60 bytes of each block from the first lap block on.
    const int laps = BcdToInt(first[21]);
    const int recordSize = s510 ? 11 : (BcdToInt(first[22]) == laps ? 6 : 10);
    const int lapBlock = s510 ? (n > kLongSeries ? 8 : 5) : (n > kLongSeries ? 4 : 3);
    const int wanted = laps * recordSize;
    std::vector<int> area;
    area.reserve(static_cast<std::size_t>(wanted));
    for (int k = lapBlock; static_cast<int>(area.size()) < wanted; ++k) {
        const ByteView data = blocks.Data(k);
        const int take = std::min(kLapBytesPerBlock, wanted - static_cast<int>(area.size()));
        for (int i = 0; i < take; ++i) area.push_back(data[i]);
    }
    int previousEnd = 0;
    for (int j = 0; j < laps; ++j) {
        const int* e = area.data() + static_cast<std::ptrdiff_t>(j) * recordSize;
        const WatchTime time = PackedLapTime(e[0], e[1], e[2], 0xFF);
        const int end = time.TotalSeconds();
        Lap lap;
        lap.split = time.InTenths();
        lap.endHr = e[3];
        int minHr = MinHrInRange(heartRates.data(), n, previousEnd, end, x.intervalSeconds);
        if (e[3] < minHr) minHr = e[3];
        lap.minHr = minHr;
        lap.avgHr = e[4];
        lap.maxHr = e[5];
        if (s510) lap.distanceMeters = (256LL * e[7] + e[6]) * 100;
        previousEnd = end;
        x.laps.push_back(lap);
        extras.lapTimes.push_back(time);
    }

    x.zones = SampledZones(lower, upper, heartRates, x.intervalSeconds);

    const ByteView p = blocks.Data(1) + 8 + s;
    x.caloriesTenths = BcdNumber(p, 3);
    extras.totalCalories = BcdNumber(p + 3, 3);
    extras.totalHours = BcdNumber(p + 6, 2);
    extras.totalMinutes = BcdToInt(p[8]);
    if (s510) {
        extras.totalDistanceKm = BcdNumber(p + 9, 3);
        x.distanceMeters = BcdNumber(p + 12, 2) * 100;  // tenths of a km
    }

    if (nb > 3) {
        const ByteView older = blocks.Data(nb - 2);
        const ByteView oldest = blocks.Data(nb - 1);
        for (const ByteView& at : {older, older + 19, oldest, oldest + 19, oldest + 38}) {
            const Summary earlier = ReadSummary(at);
            x.earlier.push_back(earlier.values);
            extras.earlierLengths.push_back(earlier.length);
        }
    }

    x.extras = std::move(extras);
    transfer.exercise = std::move(x);
    transfer.valid = true;
    return transfer;
}

}  // namespace zendrik
