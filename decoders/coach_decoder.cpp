// Checks a Coach transfer block by block and takes the exercise values from its blocks.
#include <algorithm>
#include <vector>

#include "decoders/block_table.h"
#include "decoders/coach_exercise.h"
#include "decoders/exercise_conversion.h"
#include "decoders/stream_values.h"
#include "decoders/text_append.h"
#include "decoders/transfer_decoders.h"
#include "reception/stream_check.h"

namespace {

constexpr int kFirstBlockAt = 11;
constexpr int kBlockFraming = 5;  // mark, number, length byte and the two checksum bytes
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

namespace zendrik {

Transfer DecodeCoach(const CReceivedBytes& b, const DecodeContext& context) {
    Transfer transfer;
    transfer.decoder = Decoder::Coach;
    const std::ptrdiff_t count = b.GetSize();
    if (!HasStreamHead(b)) {
        transfer.checkMessages = {"invalid Data Header"};
        return transfer;
    }
    transfer.streamHead = true;
    std::string messages;

    CBlockTable blocks(b);
    const int nb = b[8];
    bool error = false;
    if (nb > kMaxBlocks) {
        AppendBufferTooSmall(messages, nb);
        error = true;
    }
    std::ptrdiff_t pos = kFirstBlockAt;
    for (int k = 0; k < nb && !error; ++k) {
        if (pos + 3 > count || b[pos] != 0x55 || b[pos + 1] != k + 1) {
            error = true;
            break;
        }
        const int len = b[pos + 2];
        // A length below the framing cannot hold its own checksum; taken as it stands it would
        // checksum a negative count of bytes, or leave the scan standing on the same block.
        if (len < kBlockFraming || pos + len - 1 >= count) {
            error = true;
            break;
        }
        const unsigned stored = 256u * b[pos + len - 1] + b[pos + len - 2];
        const unsigned computed = BlockCrc16(b, pos, len - 2);
        if (stored != computed) {
            AppendBlockCrcError(messages, b[pos + 1], stored, computed);
            error = true;
            break;
        }
        blocks.Add(pos + 3);
        pos += len;
    }
    blocks.EndsAt(pos);
    if (error) {
        transfer.checkMessages = MessageLines(messages);
        return transfer;
    }

    CCoachExercise x;
    const CByteView first = blocks.Data(0);
    const CByteView second = blocks.Data(1);
    // The count byte can claim more samples than the series holds.
    const int n = std::min(second[7], kMaxSeriesSamples);
    x.samples = n;

    // The stream carries month and day only: the year is the current one, or the one before
    // when the month still lies ahead (an exercise from last December read out in January).
    const CDateValue& today = context.utcToday;
    x.date.day = BcdToInt(first[7] & 0x3F);
    x.date.month = first[0] & 0x0F;
    x.date.year = x.date.month > today.month ? today.year - 1 : today.year;
    x.start = BcdTimeOfDay(first + 4, 0x3F);
    x.coachValues[0] = first[1];
    x.coachValues[1] = first[2];
    x.lower[0] = first[10];
    x.upper[0] = first[11];
    x.lower[1] = second[0];
    x.upper[1] = second[1];
    x.lower[2] = second[2];
    x.upper[2] = second[3];

    std::int32_t hr[kMaxSeriesSamples] = {};
    for (int i = 0; i < n; ++i) {
        hr[i] = blocks.Data(kFirstSampleBlock + i / kDataPerBlock)[i % kDataPerBlock];
    }

    // Lap records follow the block after the last one that holds samples.
    const int laps = BcdToInt(first[8]) + BcdToInt(first[9]);
    const int wanted = laps * kLapRecordSize;
    std::vector<int> area;
    area.reserve(static_cast<std::size_t>(wanted));
    for (int k = n / kDataPerBlock + 6; static_cast<int>(area.size()) < wanted; ++k) {
        const CByteView data = blocks.Data(k);
        const int take = std::min(kDataPerBlock, wanted - static_cast<int>(area.size()));
        for (int i = 0; i < take; ++i) area.push_back(data[i]);
    }
    for (int j = 0; j < laps; ++j) {
        const int* e = area.data() + static_cast<std::ptrdiff_t>(j) * kLapRecordSize;
        CCoachLap lap;
        lap.time = PackedLapTime(e[0], e[1], e[2], 0xFF);
        lap.endHr = e[3];
        lap.avgHr = e[4];
        lap.maxHr = e[5];
        x.laps.push_back(lap);
    }
    // Without laps nothing tells the length: it stays 00:00:00.0.
    if (!x.laps.empty()) x.length = x.laps.back().time;
    x.interval = CoachInterval(n, x.length.TotalSeconds());

    int previousEnd = 0;
    for (CCoachLap& lap : x.laps) {
        const int end = lap.time.TotalSeconds();
        lap.minHr = MinHrInRange(hr, n, previousEnd, end, x.interval);
        previousEnd = end;
    }
    for (int z = 0; z < 3; ++z) x.zones[z] = CountZoneSamples(hr, n, x.lower[z], x.upper[z]);

    transfer.exercise = ToExercise(x, hr);
    transfer.valid = true;
    return transfer;
}

}  // namespace zendrik
