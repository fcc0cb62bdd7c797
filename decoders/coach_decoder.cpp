// Checks a Coach transfer block by block and takes the exercise values from its blocks.
#include <algorithm>
#include <vector>

#include "decoders/block_table.h"
#include "decoders/stream_values.h"
#include "decoders/text_append.h"
#include "decoders/transfer_decoders.h"
#include "reception/stream_check.h"

namespace zendrik {

namespace {

// The watch fills every block with 12 data bytes, and the sample and lap positions are counted
// that way whatever a block's length byte says.
constexpr int kDataPerBlock = 12;
constexpr int kFirstSampleBlock = 5;
constexpr int kLapRecordSize = 8;

// Seconds per sample: the length shared out over the samples, rounded up to one of the watch's
// recording rates; a share longer than the slowest rate is taken as it is.
int CoachInterval(int samples, int lengthSeconds) {
    if (samples <= 1) return 30;
    const int share = lengthSeconds / samples;
    for (const int rate : {30, 60, 120, 240, 480}) {
        if (rate >= share) return rate;
    }
    return share;
}

}  // namespace

Transfer ReadCoachTransfer(const ReceivedBytes& b, const DecodeContext& context) {
    Transfer transfer;
    BlockScan scan;
    if (!ScanCheckedTransfer(b, StreamLayout::CoachBlocks, transfer, scan)) return transfer;
    const BlockTable blocks(b, scan);

    Exercise x;
    CoachExtras extras;
    x.family = WatchFamily::Coach;
    const ByteView first = blocks.Data(0);
    const ByteView second = blocks.Data(1);
    // The count byte can claim more samples than the series holds.
    const int n = std::min(second[7], kMaxSeriesSamples);

    // The stream carries month and day only: the year is the current one, or the one before
    // when the month still lies ahead (an exercise from last December read out in January).
    const DateValue& today = context.utcToday;
    const int month = first[0] & 0x0F;
    const WatchTime start = BcdTimeOfDay(first + 4, 0x3F);
    x.start = {month > today.month ? today.year - 1 : today.year, month, BcdToInt(first[7] & 0x3F),
               start.hours, start.minutes, start.seconds};
    extras.coachValues[0] = first[1];
    extras.coachValues[1] = first[2];
    const int lower[3] = {first[10], second[0], second[2]};
    const int upper[3] = {first[11], second[1], second[3]};

    Series hr{SeriesKind::HeartRate, "bpm", 1, std::vector<int>(static_cast<std::size_t>(n))};
    for (int i = 0; i < n; ++i) {
        hr.values[static_cast<std::size_t>(i)] =
            blocks.Data(kFirstSampleBlock + i / kDataPerBlock)[i % kDataPerBlock];
    }

    // Lap records follow the block after the last one that holds samples.
    const int laps = BcdToInt(first[8]) + BcdToInt(first[9]);
    const int wanted = laps * kLapRecordSize;
    std::vector<int> area;
    area.reserve(static_cast<std::size_t>(wanted));
    for (int k = n / kDataPerBlock + 6; static_cast<int>(area.size()) < wanted; ++k) {
        const ByteView data = blocks.Data(k);
        const int take = std::min(kDataPerBlock, wanted - static_cast<int>(area.size()));
        for (int i = 0; i < take; ++i) area.push_back(data[i]);
    }
    for (int j = 0; j < laps; ++j) {
        const int* e = area.data() + static_cast<std::ptrdiff_t>(j) * kLapRecordSize;
        extras.lapTimes.push_back(PackedLapTime(e[0], e[1], e[2], 0xFF));
        Lap lap;
        lap.split = extras.lapTimes.back().InTenths();
        lap.endHr = e[3];
        lap.avgHr = e[4];
        lap.maxHr = e[5];
        x.laps.push_back(lap);
    }
    // Without laps nothing tells the length: it stays 00:00:00.0.
    if (!extras.lapTimes.empty()) extras.length = extras.lapTimes.back();
    x.duration = extras.length.InTenths();
    x.intervalSeconds = CoachInterval(n, extras.length.TotalSeconds());

    int previousEnd = 0;
    for (std::size_t j = 0; j < x.laps.size(); ++j) {
        const int end = extras.lapTimes[j].TotalSeconds();
        x.laps[j].minHr = MinHrInRange(hr.values.data(), n, previousEnd, end, x.intervalSeconds);
        previousEnd = end;
    }
    x.zones = SampledZones(lower, upper, hr.values, x.intervalSeconds);
    x.series.push_back(std::move(hr));

    x.extras = std::move(extras);
    transfer.exercise = std::move(x);
    transfer.valid = true;
    return transfer;
}

}  // namespace zendrik
