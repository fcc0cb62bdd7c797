// Checks an S410/S510 transfer block by block and takes the exercise values from its blocks.
#include <algorithm>
#include <vector>

#include "decoders/block_table.h"
#include "decoders/exercise_conversion.h"
#include "decoders/s410_exercise.h"
#include "decoders/stream_values.h"
#include "decoders/text_append.h"
#include "decoders/transfer_decoders.h"
#include "reception/stream_check.h"

namespace {

constexpr int kFirstBlockAt = 13;
constexpr int kLapBytesPerBlock = 60;
constexpr int kLongSeries = 60;  // a longer series takes two blocks

CExerciseSummary ReadSummary(const CByteView& q) {
    CExerciseSummary s;
    if ((q[0] & 0x0F) == 0) {
        s.name = "BasicUse";
    } else {
        for (int i = 1; i <= 7 && AppendWatchCharacter(s.name, q[i]); ++i) {
        }
    }
    s.start = BcdTimeOfDay(q + 8, 0x3F);
    s.date.day = BcdToInt(q[11] & 0x3F);
    const int yy = BcdToInt(q[12]);
    s.date.year = yy < 90 ? 2000 + yy : 1900 + yy;
    s.date.month = q[13] & 0x0F;
    s.length = BcdDuration(q + 13, 0x3F);  // shares q[13]: month below, tenths above
    s.avgHr = q[17];
    s.maxHr = q[18];
    return s;
}

int IntervalCodeSeconds(int code) {
    static const int kSeconds[] = {15, 30, 60, 120, 240, 480};
    code &= 0x0F;
    return code < 6 ? kSeconds[code] : 1;
}

int RecordingInterval(int samples, const CTimeValue& length, int code) {
    if (samples == 0) return IntervalCodeSeconds(code);
    return ((length.TotalSeconds() / samples) + 14) / 15 * 15;
}

// Reads one series from its first block on, moving to the next block whenever the sample index
// reaches the length of the block being read. Returns the block after the last one read.
int ReadSeries(const CBlockTable& blocks, int block, int samples, int scale, std::int32_t* out) {
    CByteView data = blocks.Data(block);
    std::ptrdiff_t offset = 0;
    for (int i = 0; i < samples; ++i) {
        if (i == blocks.Length(block)) {
            data = blocks.Data(++block);
            offset = 0;
        }
        out[i] = data[offset++] * scale;
    }
    return block + 1;
}

}  // namespace

namespace zendrik {

Transfer DecodeS410(const CReceivedBytes& b, const DecodeContext&) {
    Transfer transfer;
    transfer.decoder = Decoder::S410;
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
        const std::ptrdiff_t blockAt = pos;
        pos += 3 + len;
        if (pos + 2 > count) {  // both checksum bytes must have arrived
            error = true;
            break;
        }
        const unsigned stored = 256u * b[pos] + b[pos + 1];
        const unsigned computed = BlockCrc16(b, blockAt, len + 3);
        if (stored != computed) {
            AppendBlockCrcError(messages, b[blockAt + 1], stored, computed);
            error = true;
        }
        pos += 2;
        blocks.Add(blockAt + 3, len);
    }
    blocks.EndsAt(pos);
    long long sum = 0;
    if (!error) {
        for (int k = 0; k < nb; ++k) sum += blocks.Length(k);
    }
    if (sum != 256 * b[10] + b[9]) {
        messages += "Length Check failed!\r\n";
        error = true;
    }
    if (error) {
        transfer.checkMessages = MessageLines(messages);
        return transfer;
    }

    CS410Exercise x;
    const CByteView first = blocks.Data(0);
    x.s510 = b[6] == 0x51;
    const int s = x.s510 ? 1 : 0;
    // The count byte can claim more samples than a series holds.
    const int n = std::min(first[0], kMaxSeriesSamples);
    x.samples = n;
    if (x.s510) {
        const int flags = first[26];
        x.speed = flags & 1;
        x.cadence = (flags >> 2) & 1;
        x.cycling = (flags & 0x30) ? 1 : 0;
    }
    x.current = ReadSummary(first + 2);
    x.interval = RecordingInterval(n, x.current.length, first[1]);
    for (int z = 0; z < 3; ++z) {
        x.lower[z] = first[27 + s + 2 * z];
        x.upper[z] = first[28 + s + 2 * z];
    }

    std::int32_t hr[kMaxSeriesSamples] = {};
    std::int32_t speed[kMaxSeriesSamples] = {};
    std::int32_t cadence[kMaxSeriesSamples] = {};
    int next = ReadSeries(blocks, 2, n, 1, hr);
    if (x.s510 && x.cycling) {
        if (x.speed) next = ReadSeries(blocks, next, n, 5, speed);
        if (x.cadence) ReadSeries(blocks, next, n, 1, cadence);
    }

    // Lap records, gathered from at most 60 bytes of each block from the first lap block on.
    const int laps = BcdToInt(first[21]);
    const int recordSize = x.s510 ? 11 : (BcdToInt(first[22]) == laps ? 6 : 10);
    const int lapBlock = x.s510 ? (n > kLongSeries ? 8 : 5) : (n > kLongSeries ? 4 : 3);
    const int wanted = laps * recordSize;
    std::vector<int> area;
    area.reserve(static_cast<std::size_t>(wanted));
    for (int k = lapBlock; static_cast<int>(area.size()) < wanted; ++k) {
        const CByteView data = blocks.Data(k);
        const int take = std::min(kLapBytesPerBlock, wanted - static_cast<int>(area.size()));
        for (int i = 0; i < take; ++i) area.push_back(data[i]);
    }
    int previousEnd = 0;
    for (int j = 0; j < laps; ++j) {
        const int* e = area.data() + static_cast<std::ptrdiff_t>(j) * recordSize;
        CS410Lap lap;
        lap.time = PackedLapTime(e[0], e[1], e[2], 0xFF);
        const int end = lap.time.TotalSeconds();
        lap.endHr = e[3];
        lap.minHr = MinHrInRange(hr, n, previousEnd, end, x.interval);
        if (lap.endHr < lap.minHr) lap.minHr = lap.endHr;
        lap.avgHr = e[4];
        lap.maxHr = e[5];
        if (x.s510) lap.distance = (256LL * e[7] + e[6]) * 100;
        previousEnd = end;
        x.laps.push_back(lap);
    }

    for (int z = 0; z < 3; ++z) x.zones[z] = CountZoneSamples(hr, n, x.lower[z], x.upper[z]);

    const CByteView p = blocks.Data(1) + 8 + s;
    x.calories = BcdNumber(p, 3);
    x.totalCalories = BcdNumber(p + 3, 3);
    x.totalHours = BcdNumber(p + 6, 2);
    x.totalMinutes = BcdToInt(p[8]);
    if (x.s510) {
        x.totalDistance = BcdNumber(p + 9, 3);
        x.distance = BcdNumber(p + 12, 2);
    }

    if (nb > 3) {
        const CByteView older = blocks.Data(nb - 2);
        const CByteView oldest = blocks.Data(nb - 1);
        x.earlier = {ReadSummary(older), ReadSummary(older + 19), ReadSummary(oldest),
                     ReadSummary(oldest + 19), ReadSummary(oldest + 38)};
    }

    transfer.exercise = ToExercise(x, CSampleSeriesView{hr, speed, cadence});
    transfer.valid = true;
    return transfer;
}

}  // namespace zendrik
