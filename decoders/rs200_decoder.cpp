// Checks an RS200/CS200 transfer, tells a run from a ride and takes the exercise values from
// their fixed positions and the lap records from the lap area that runs across the blocks.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "decoders/block_table.h"
#include "decoders/rs200_values.h"
#include "decoders/stream_values.h"
#include "decoders/text_append.h"
#include "decoders/transfer_decoders.h"
#include "reception/stream_check.h"

namespace zendrik {

namespace {

constexpr std::ptrdiff_t kBlockDataBytes = 220;
constexpr std::ptrdiff_t kLapRecordBytes = 12;
constexpr std::ptrdiff_t kKindAt = 16;
constexpr std::ptrdiff_t kRunLapAreaAt = 128;  // data offsets
constexpr std::ptrdiff_t kRideLapAreaAt = 141;
constexpr std::ptrdiff_t kMinRideStream = 130;
constexpr int kWholeByte = 0xFF;  // this family's BCD hours carry no flags

enum class RsKind { None, Run, Ride };

// The lap records of L laps, gathered from data offset `first` of block 0 on and continued at the
// start of each following block's data.
ReceivedBytes CollectLapArea(const BlockTable& blocks, std::ptrdiff_t first, int laps) {
    const std::ptrdiff_t wanted = kLapRecordBytes * laps;
    ReceivedBytes area;
    area.Reserve(wanted);
    std::ptrdiff_t offset = first;
    for (std::ptrdiff_t k = 0; area.GetSize() < wanted; ++k, offset = 0) {
        const ByteView data = blocks.Data(k);
        for (; offset < kBlockDataBytes && area.GetSize() < wanted; ++offset) {
            area.Add(data[offset]);
        }
    }
    return area;
}

int Word(const ByteView& at) {
    return at[0] + 256 * at[1];
}

BcdClock ReadBcdClock(const ByteView& at) {
    return {at[2], at[1], at[0], 0};
}

BcdClock BcdDurationClock(const ByteView& at) {
    return {at[3], at[2], at[1], at[0] >> 4};
}

WatchTime PackedTime(const ByteView& at) {
    return PackedLapTime(at[0], at[1], at[2], kRsHourMask);
}

WatchUser ReadUser(const ByteView& height, const ByteView& maxHr) {
    return {height[0], {height[1], height[2], height[3]}, maxHr[0], maxHr[1], maxHr[2]};
}

LocalDateTime StartOf(const DateValue& date, const BcdClock& start) {
    const WatchTime time = start.Value();
    return {date.year, date.month, date.day, time.hours, time.minutes, time.seconds};
}

// These watches keep the distance at the end of each lap, counted from the start; a lap's own
// distance is what it adds. A lap that seems to go back covers nothing rather than less than
// nothing.
std::int64_t LapDistance(int atEnd, int atPreviousEnd, int metresPerUnit) {
    const std::int64_t added = static_cast<std::int64_t>(atEnd) - atPreviousEnd;
    return std::max<std::int64_t>(0, added) * metresPerUnit;
}

Exercise ReadRun(const ByteView& b, const BlockTable& blocks) {
    Exercise x;
    Rs200Extras extras;
    x.family = WatchFamily::Rs200;
    x.sport = Sport::Running;
    extras.user = ReadUser(b + 23, b + 27);
    x.name = DecodeRsName(b + 32);
    extras.start = ReadBcdClock(b + 44);
    x.start = StartOf(PackedDate(b[42], b[43]), extras.start);
    extras.length = PackedTime(b + 47);
    x.duration = extras.length.InTenths();
    x.avgHr = b[50];
    x.maxHr = b[51];
    x.caloriesTenths = static_cast<std::int64_t>(Word(b + 53)) * 10;
    for (int z = 0; z < 3; ++z) {
        for (int part = 0; part < 3; ++part) {
            extras.targetZones[z][part] = BcdTimeOfDay(b + 71 + 9 * z + 3 * part, kWholeByte);
        }
    }
    for (int z = 0; z < 5; ++z) {
        extras.sportInZone[z] = BcdTimeOfDay(b + 117 + 3 * z, kWholeByte);
        Zone zone;
        zone.lower = b[107 + 2 * z];
        zone.upper = b[108 + 2 * z];
        zone.in = extras.sportInZone[z].InTenths();
        x.zones.push_back(zone);
    }
    extras.maxPace = Word(b + 134);
    // A watch without a foot pod sends no maximum pace, and has no distance and no pace to tell.
    extras.distanceData = b[134] != 0 || b[135] != 0;
    if (extras.distanceData) x.distanceMeters = static_cast<std::int64_t>(Word(b + 132)) * 10;
    extras.lapCount = b[137];
    extras.bestLapTime = PackedTime(b + 138);
    extras.bestLap = b[141];
    extras.avgPace = Word(b + 142);

    // The watch keeps the last lap first: lap n is counted back from the end of the area.
    const ReceivedBytes area = CollectLapArea(blocks, kRunLapAreaAt, extras.lapCount);
    const std::ptrdiff_t wanted = area.GetSize();
    int previousDistance = 0;
    for (int n = 1; n <= extras.lapCount; ++n) {
        const ByteView e(area, wanted - kLapRecordBytes * n);
        const Rs200LapRecord record{PackedTime(e), Word(e + 6), Word(e + 10), Word(e + 8)};
        Lap lap;
        lap.split = record.time.InTenths();
        lap.automatic = (e[2] & 0x80) != 0;
        lap.endHr = e[3];
        lap.avgHr = e[4];
        lap.maxHr = e[5];
        if (extras.distanceData) {
            lap.endPace = record.endPace;
            lap.avgPace = record.avgPace;
            lap.distanceMeters = LapDistance(record.distance, previousDistance, 10);  // hundredths
        }
        previousDistance = record.distance;
        x.laps.push_back(lap);
        extras.lapRecords.push_back(record);
    }
    x.extras = std::move(extras);
    return x;
}

Exercise ReadRide(const ByteView& b, const BlockTable& blocks) {
    Exercise x;
    Cs200Extras extras;
    x.family = WatchFamily::Cs200;
    x.sport = Sport::Cycling;
    extras.user = ReadUser(b + 105, b + 110);
    extras.length = BcdDurationClock(b + 114);
    x.duration = extras.length.Value().InTenths();
    x.avgHr = b[118];
    x.maxHr = b[119];
    for (int i = 0; i < 3; ++i) extras.times[i] = ReadBcdClock(b + 120 + 3 * i);
    x.caloriesTenths = static_cast<std::int64_t>(Word(b + 129)) * 10;
    x.distanceMeters = static_cast<std::int64_t>(Word(b + 131)) * 100;  // tenths of a km
    x.avgSpeed = Word(b + 133);
    x.maxSpeed = Word(b + 135);
    x.avgCadence = b[137];
    x.maxCadence = b[138];
    extras.rideTime = BcdDurationClock(b + 139);
    extras.lapCount = b[143];
    extras.bestLap = b[144];
    extras.start = ReadBcdClock(b + 147);
    x.start = StartOf(PackedDate(b[145], b[146]), extras.start);
    Zone zone;
    zone.lower = b[151];
    zone.upper = b[152];
    x.zones.push_back(zone);
    // Where a ride keeps its best lap time is not known; these bytes are read the way a run's
    // are, so the line stays where users of earlier versions expect it.
    extras.bestLapTime = PackedTime(b + 138);

    const ReceivedBytes area = CollectLapArea(blocks, kRideLapAreaAt, extras.lapCount);
    int previousDistance = 0;
    for (int n = 1; n <= extras.lapCount; ++n) {
        const ByteView e(area, kLapRecordBytes * (n - 1));
        const Cs200LapRecord record{PackedTime(e + 1), Word(e + 10)};
        Lap lap;
        lap.split = record.time.InTenths();
        lap.automatic = (e[0] & 1) != 0;
        lap.endHr = e[4];
        lap.avgHr = e[5];
        lap.endSpeed = Word(e + 6);
        lap.endCadence = e[8];
        lap.avgCadence = e[9];
        lap.distanceMeters = LapDistance(record.distance, previousDistance, 100);  // tenths
        previousDistance = record.distance;
        x.laps.push_back(lap);
        extras.lapRecords.push_back(record);
    }
    x.extras = std::move(extras);
    return x;
}

RsKind KindOf(const ReceivedBytes& b) {
    const int kind = b.At(kKindAt);
    if (kind == 2) return RsKind::Run;
    if (kind == 1 && b.GetSize() >= kMinRideStream) return RsKind::Ride;
    return RsKind::None;
}

}  // namespace

Transfer ReadRs200Transfer(const ReceivedBytes& b, const DecodeContext&) {
    Transfer transfer;
    transfer.layout = StreamLayout::RS200Blocks;
    if (!HasStreamHead(b) || b[6] != 1) return transfer;
    transfer.streamHead = true;

    // Every fixed position is read through this view, so a stream cut short reads zeros there.
    const ByteView at(b, 0);
    const BlockScan scan = ScanBlocks(b, StreamLayout::RS200Blocks);
    const BlockTable blocks(b, scan);
    transfer.checkMessages = FaultLines(scan);

    switch (KindOf(b)) {
        case RsKind::Run:
            transfer.exercise = ReadRun(at, blocks);
            break;
        case RsKind::Ride:
            transfer.exercise = ReadRide(at, blocks);
            break;
        case RsKind::None:
            break;
    }
    // A sound head is enough: what the blocks lacked shows in the report itself.
    transfer.valid = true;
    return transfer;
}

}  // namespace zendrik
