#include "support/coach_stream_builder.h"

#include <algorithm>

#include "reception/stream_check.h"

namespace zendrik {

namespace testing_streams {

namespace {

constexpr std::size_t kDataPerBlock = 12;
constexpr std::size_t kFirstSampleBlock = 5;

std::uint8_t Byte(int value) {
    return static_cast<std::uint8_t>(value);
}

// Cuts bytes into blocks of 12, the last one filled up with zeros (or random content).
void AddBlocks(std::vector<std::vector<std::uint8_t>>& blocks,
               const std::vector<std::uint8_t>& bytes, RandomContent& random) {
    for (std::size_t at = 0; at < bytes.size(); at += kDataPerBlock) {
        std::vector<std::uint8_t> block(kDataPerBlock, 0);
        const std::size_t given = std::min(kDataPerBlock, bytes.size() - at);
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), given, block.begin());
        random.Fill(block, given, kDataPerBlock);
        blocks.push_back(block);
    }
}

// A block no value is written to.
std::vector<std::uint8_t> SpareBlock(RandomContent& random) {
    std::vector<std::uint8_t> block(kDataPerBlock, 0);
    random.Fill(block, 0, kDataPerBlock);
    return block;
}

}  // namespace

std::vector<std::vector<std::uint8_t>> BuildCoachBlocks(const CoachValues& v) {
    const int laps = static_cast<int>(v.laps.size());
    const int n = v.sampleCount >= 0 ? v.sampleCount : static_cast<int>(v.hr.size());
    std::vector<std::vector<std::uint8_t>> blocks;
    RandomContent random(v.randomSeed);

    blocks.push_back({Byte(v.month), Byte(v.coach[0]), Byte(v.coach[1]), 0,
                      BcdByte(v.start.seconds), BcdByte(v.start.minutes), BcdByte(v.start.hours),
                      BcdByte(v.day), BcdByte(laps - v.secondLapCount), BcdByte(v.secondLapCount),
                      Byte(v.lower[0]), Byte(v.upper[0])});
    blocks.push_back({Byte(v.lower[1]), Byte(v.upper[1]), Byte(v.lower[2]), Byte(v.upper[2]), 0, 0,
                      0, Byte(n), 0, 0, 0, 0});
    // The bytes between the values.
    random.Fill(blocks[0], 3, 4);
    random.Fill(blocks[1], 4, 7);
    random.Fill(blocks[1], 8, kDataPerBlock);
    while (blocks.size() < kFirstSampleBlock) blocks.push_back(SpareBlock(random));

    // The samples fill the blocks from index 5 on; the lap area starts one block after the block
    // where sample 12 * (n / 12) would go, so a block of 12 samples is followed by an empty one.
    std::vector<std::uint8_t> samples;
    for (int value : v.hr) samples.push_back(Byte(value));
    AddBlocks(blocks, samples, random);
    const std::size_t lapBlock = v.hr.size() / kDataPerBlock + 6;
    while (blocks.size() < lapBlock) blocks.push_back(SpareBlock(random));

    std::vector<std::uint8_t> area;
    for (const Lap& lap : v.laps) {
        const Time& t = lap.time;
        area.push_back(Byte((t.seconds & 0x3F) | ((t.tenths & 3) << 6)));
        area.push_back(Byte((t.minutes & 0x3F) | ((t.tenths & 0x0C) << 4)));
        area.push_back(Byte(t.hours));
        area.push_back(Byte(lap.endHr));
        area.push_back(Byte(lap.avgHr));
        area.push_back(Byte(lap.maxHr));
        area.push_back(0xEE);  // two record bytes the receiver leaves alone
        area.push_back(0xEE);
        random.Fill(area, area.size() - 2, area.size());
    }
    AddBlocks(blocks, area, random);
    return blocks;
}

Stream FrameCoachBlocks(const std::vector<std::vector<std::uint8_t>>& blocks, int modelByte) {
    Stream stream;
    stream.bytes = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x55, Byte(modelByte), 0, Byte(blocks.size())};
    stream.bytes.resize(11, 0);
    for (std::size_t k = 0; k < blocks.size(); ++k) {
        stream.blockAt.push_back(stream.bytes.size());
        stream.bytes.push_back(0x55);
        stream.bytes.push_back(Byte(k + 1));
        stream.bytes.push_back(Byte(blocks[k].size() + 5));
        stream.bytes.insert(stream.bytes.end(), blocks[k].begin(), blocks[k].end());
        stream.bytes.push_back(0);
        stream.bytes.push_back(0);
        FixCoachChecksum(stream, k);
    }
    return stream;
}

Stream BuildCoachStream(const CoachValues& values) {
    Stream stream = FrameCoachBlocks(BuildCoachBlocks(values));
    // The head's spare bytes, which no checksum covers.
    RandomContent random(values.randomSeed, 1);
    random.Fill(stream.bytes, 7, 8);
    random.Fill(stream.bytes, 9, 11);
    return stream;
}

void BreakCoachChecksum(Stream& stream, std::size_t block) {
    const std::size_t at = stream.blockAt.at(block);
    stream.bytes.at(at + stream.bytes.at(at + 2) - 1) ^= 0x01;
}

void SetCoachBlockNumber(Stream& stream, std::size_t block, int number) {
    stream.bytes.at(stream.blockAt.at(block) + 1) = Byte(number);
    FixCoachChecksum(stream, block);
}

void SetCoachBlockLength(Stream& stream, std::size_t block, int length) {
    stream.bytes.at(stream.blockAt.at(block) + 2) = Byte(length);
}

void FixCoachChecksum(Stream& stream, std::size_t block) {
    const std::size_t at = stream.blockAt.at(block);
    const std::size_t len = stream.bytes.at(at + 2);
    const std::uint16_t crc = BlockCrc16(stream.bytes.data() + at, len - 2);
    stream.bytes.at(at + len - 2) = Byte(crc & 0xFF);
    stream.bytes.at(at + len - 1) = Byte(crc >> 8);
}

std::size_t CoachDataAt(const Stream& stream, std::size_t block, std::size_t offset) {
    return stream.blockAt.at(block) + 3 + offset;
}

}  // namespace testing_streams

}  // namespace zendrik
