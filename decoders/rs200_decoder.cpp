// Checks an RS200/CS200 transfer, tells a run from a ride and takes the exercise values from
// their fixed positions and the lap records from the lap area that runs across the blocks.
#include <cstddef>

#include "decoders/block_table.h"
#include "decoders/exercise_conversion.h"
#include "decoders/rs200_exercise.h"
#include "decoders/rs200_values.h"
#include "decoders/stream_values.h"
#include "decoders/text_append.h"
#include "decoders/transfer_decoders.h"
#include "reception/stream_check.h"

namespace {

constexpr std::ptrdiff_t kFirstBlockAt = 13;
constexpr std::ptrdiff_t kBlockStride = 255;
constexpr std::ptrdiff_t kBlockDataBytes = 220;
// Mark, number and one unused byte come before a block's data; one byte after it must be there.
constexpr std::ptrdiff_t kBlockFrameBytes = 3;
constexpr std::ptrdiff_t kBlockCompleteAt = 224;
constexpr std::ptrdiff_t kLapRecordBytes = 12;
constexpr std::ptrdiff_t kKindAt = 16;
constexpr std::ptrdiff_t kRunLapAreaAt = 128;  // data offsets
constexpr std::ptrdiff_t kRideLapAreaAt = 141;
constexpr std::ptrdiff_t kMinRideStream = 130;
constexpr int kWholeByte = 0xFF;  // this family's BCD hours carry no flags

enum class RsKind { None, Run, Ride };

// Blocks follow each other at a fixed stride; the first one that is framed wrongly or has not
// arrived ends the scan, and the report is still written from what is there.
CBlockTable ScanBlocks(const CReceivedBytes& b, int blockCount) {
    CBlockTable blocks(b);
    const std::ptrdiff_t count = b.GetSize();
    for (int k = 0; k < blockCount; ++k) {
        const std::ptrdiff_t h = kFirstBlockAt + kBlockStride * k;
        if (h + kBlockFrameBytes > count || b[h] != 0x55 || b[h + 1] != k + 1) break;
        blocks.Add(h + kBlockFrameBytes);
        if (h + kBlockCompleteAt > count) break;
    }
    return blocks;
}

// The lap records of L laps, gathered from data offset `first` of block 0 on and continued at the
// start of each following block's data.
CReceivedBytes CollectLapArea(const CBlockTable& blocks, std::ptrdiff_t first, int laps) {
    const std::ptrdiff_t wanted = kLapRecordBytes * laps;
    CReceivedBytes area;
    area.Reserve(wanted);
    std::ptrdiff_t offset = first;
    for (std::ptrdiff_t k = 0; area.GetSize() < wanted; ++k, offset = 0) {
        const CByteView data = blocks.Data(k);
        for (; offset < kBlockDataBytes && area.GetSize() < wanted; ++offset) {
            area.Add(data[offset]);
        }
    }
    return area;
}

int Word(const CByteView& at) {
    return at[0] + 256 * at[1];
}

CBcdClock BcdClock(const CByteView& at) {
    return {at[2], at[1], at[0], 0};
}

CBcdClock BcdDurationClock(const CByteView& at) {
    return {at[3], at[2], at[1], at[0] >> 4};
}

CTimeValue PackedTime(const CByteView& at) {
    return PackedLapTime(at[0], at[1], at[2], kRsHourMask);
}

CRsUser ReadUser(const CByteView& height, const CByteView& maxHr) {
    CRsUser user;
    user.height = height[0];
    for (int i = 0; i < 3; ++i) user.birth[i] = height[1 + i];
    user.maxHr = maxHr[0];
    user.maxVo2 = maxHr[1];
    user.restHr = maxHr[2];
    return user;
}

CRs200Exercise ReadRun(const CByteView& b, const CBlockTable& blocks) {
    CRs200Exercise x;
    x.user = ReadUser(b + 23, b + 27);
    x.name = DecodeRsName(b + 32);
    x.date = PackedDate(b[42], b[43]);
    x.start = BcdClock(b + 44);
    x.length = PackedTime(b + 47);
    x.avgHr = b[50];
    x.maxHr = b[51];
    x.calories = Word(b + 53);
    for (int z = 0; z < 3; ++z) {
        for (int part = 0; part < 3; ++part) {
            x.targetZones[z][part] = BcdTimeOfDay(b + 71 + 9 * z + 3 * part, kWholeByte);
        }
    }
    for (int z = 0; z < 5; ++z) {
        x.sportLower[z] = b[107 + 2 * z];
        x.sportUpper[z] = b[108 + 2 * z];
        x.sportInZone[z] = BcdTimeOfDay(b + 117 + 3 * z, kWholeByte);
    }
    x.distance = Word(b + 132);
    x.maxPace = Word(b + 134);
    x.distanceData = b[134] != 0 || b[135] != 0;
    x.lapCount = b[137];
    x.bestLapTime = PackedTime(b + 138);
    x.bestLap = b[141];
    x.avgPace = Word(b + 142);

    // The watch keeps the last lap first: lap n is counted back from the end of the area.
    const CReceivedBytes area = CollectLapArea(blocks, kRunLapAreaAt, x.lapCount);
    const std::ptrdiff_t wanted = area.GetSize();
    for (int n = 1; n <= x.lapCount; ++n) {
        const CByteView e(area, wanted - kLapRecordBytes * n);
        CRs200Lap lap;
        lap.time = PackedTime(e);
        lap.autoLap = (e[2] & 0x80) != 0;
        lap.endHr = e[3];
        lap.avgHr = e[4];
        lap.maxHr = e[5];
        lap.endPace = Word(e + 6);
        lap.distance = Word(e + 8);
        lap.avgPace = Word(e + 10);
        x.laps.push_back(lap);
    }
    return x;
}

CCs200Exercise ReadRide(const CByteView& b, const CBlockTable& blocks) {
    CCs200Exercise x;
    x.user = ReadUser(b + 105, b + 110);
    x.length = BcdDurationClock(b + 114);
    x.avgHr = b[118];
    x.maxHr = b[119];
    for (int i = 0; i < 3; ++i) x.times[i] = BcdClock(b + 120 + 3 * i);
    x.calories = Word(b + 129);
    x.distance = Word(b + 131);
    x.avgSpeed = Word(b + 133);
    x.maxSpeed = Word(b + 135);
    x.avgCadence = b[137];
    x.maxCadence = b[138];
    x.rideTime = BcdDurationClock(b + 139);
    x.lapCount = b[143];
    x.bestLap = b[144];
    x.date = PackedDate(b[145], b[146]);
    x.start = BcdClock(b + 147);
    x.lowerLimit = b[151];
    x.upperLimit = b[152];
    // Where a ride keeps its best lap time is not known; these bytes are read the way a run's
    // are, so the line stays where users of earlier versions expect it.
    x.bestLapTime = PackedTime(b + 138);

    const CReceivedBytes area = CollectLapArea(blocks, kRideLapAreaAt, x.lapCount);
    for (int n = 1; n <= x.lapCount; ++n) {
        const CByteView e(area, kLapRecordBytes * (n - 1));
        CCs200Lap lap;
        lap.autoLap = (e[0] & 1) != 0;
        lap.time = PackedTime(e + 1);
        lap.endHr = e[4];
        lap.avgHr = e[5];
        lap.endSpeed = Word(e + 6);
        lap.endCadence = e[8];
        lap.avgCadence = e[9];
        lap.distance = Word(e + 10);
        x.laps.push_back(lap);
    }
    return x;
}

RsKind KindOf(const CReceivedBytes& b) {
    const int kind = b.At(kKindAt);
    if (kind == 2) return RsKind::Run;
    if (kind == 1 && b.GetSize() >= kMinRideStream) return RsKind::Ride;
    return RsKind::None;
}

}  // namespace

namespace zendrik {

Transfer DecodeRs200(const CReceivedBytes& b, const DecodeContext&) {
    Transfer transfer;
    transfer.decoder = Decoder::Rs200;
    if (!HasStreamHead(b) || b[6] != 1) return transfer;
    transfer.streamHead = true;

    // Every fixed position is read through this view, so a stream cut short reads zeros there.
    const CByteView at(b, 0);
    const int blockCount = at[8];
    CBlockTable blocks(b);
    std::string messages;
    if (blockCount > kMaxBlocks) AppendBufferTooSmall(messages, blockCount);
    const unsigned stored = 256u * static_cast<unsigned>(at[11]) + static_cast<unsigned>(at[12]);
    const unsigned computed = BlockCrc16(b, 5, 6);
    if (stored != computed) AppendBlockCrcError(messages, 0, stored, computed);
    if (blockCount <= kMaxBlocks) blocks = ScanBlocks(b, blockCount);
    transfer.checkMessages = MessageLines(messages);

    switch (KindOf(b)) {
        case RsKind::Run:
            transfer.exercise = ToExercise(ReadRun(at, blocks));
            break;
        case RsKind::Ride:
            transfer.exercise = ToExercise(ReadRide(at, blocks));
            break;
        case RsKind::None:
            break;
    }
    // A sound head is enough: what the blocks lacked shows in the report itself.
    transfer.valid = true;
    return transfer;
}

}  // namespace zendrik
