// Builds Coach transfers from exercise values, so tests can state values instead of bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "support/s410_stream_builder.h"

namespace zendrik {

namespace testing_streams {

struct CoachValues {
    int month = 3;
    int day = 5;
    Time start{7, 30, 15, 0};
    int coach[2] = {12, 34};  // the two values of the last [Coach] row
    int lower[3] = {100, 120, 140};
    int upper[3] = {120, 140, 160};
    std::vector<int> hr;     // 0 to 120 samples, 12 to a block
    std::vector<Lap> laps;   // time, endHr, avgHr and maxHr count; distance does not
    int secondLapCount = 0;  // laps counted by the second lap count byte, the rest by the first
    int sampleCount = -1;    // the sample count byte, when it should differ from hr.size()
    std::uint32_t randomSeed = 0;  // see RandomContent
};

// The data of each block (12 bytes each), before framing, so a test can drop or resize blocks.
std::vector<std::vector<std::uint8_t>> BuildCoachBlocks(const CoachValues& values);

// Frames blocks of data into a transfer: the head of 11 bytes, then each block with its whole
// size in its length byte and its checksum low byte first.
Stream FrameCoachBlocks(const std::vector<std::vector<std::uint8_t>>& blocks, int modelByte = 10);

// The whole transfer.
Stream BuildCoachStream(const CoachValues& values);

// Corruptions of a built Coach stream.
void BreakCoachChecksum(Stream& stream, std::size_t block);
// A new block number, with the checksum made right again so only the number is wrong.
void SetCoachBlockNumber(Stream& stream, std::size_t block, int number);
// A new length byte, and nothing else changed.
void SetCoachBlockLength(Stream& stream, std::size_t block, int length);
// Makes a block's checksum right again after its data was changed.
void FixCoachChecksum(Stream& stream, std::size_t block);

// Position of byte `offset` of a block's data in the stream.
std::size_t CoachDataAt(const Stream& stream, std::size_t block, std::size_t offset);

}  // namespace testing_streams

}  // namespace zendrik
