#include "support/s410_stream_builder.h"

#include <unistd.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "formats/report_conventions.h"
#include "reception/dump_file.h"
#include "reception/stream_check.h"

namespace zendrik {

namespace testing_streams {

std::uint8_t BcdByte(int value) {
    return static_cast<std::uint8_t>((value / 10) * 16 + value % 10);
}

std::vector<std::uint8_t> Bcd(long value, int k) {
    std::vector<std::uint8_t> out;
    for (int i = 0; i < k; ++i, value /= 100) out.push_back(BcdByte(static_cast<int>(value % 100)));
    return out;
}

int WatchCode(char c) {
    const std::size_t at = WatchCharset.find(c);
    if (at == std::string_view::npos) throw std::invalid_argument("not a watch character");
    return static_cast<int>(at);
}

RandomContent::RandomContent(std::uint32_t seed, std::uint32_t part) : m_on(seed != 0) {
    std::seed_seq sequence{seed, part};
    m_rng.seed(sequence);
}

void RandomContent::Fill(std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to) {
    if (!m_on) return;
    for (std::size_t i = from; i < to; ++i) bytes.at(i) = static_cast<std::uint8_t>(m_rng() >> 24);
}

namespace {

void Put(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// The 19-byte summary record.
std::vector<std::uint8_t> SummaryRecord(const Summary& s) {
    std::vector<std::uint8_t> r;
    r.push_back(s.named ? 1 : 0);
    for (int i = 0; i < 7; ++i) {
        r.push_back(i < static_cast<int>(s.name.size())
                        ? static_cast<std::uint8_t>(WatchCode(s.name[i]))
                        : static_cast<std::uint8_t>(kWatchCharsetEnd));
    }
    r.push_back(BcdByte(s.start.seconds));
    r.push_back(BcdByte(s.start.minutes));
    r.push_back(BcdByte(s.start.hours));
    r.push_back(BcdByte(s.date.day));
    r.push_back(BcdByte(s.date.year % 100));
    // The month shares its byte with the tenths of the length.
    r.push_back(static_cast<std::uint8_t>((s.length.tenths << 4) | (s.date.month & 0x0F)));
    r.push_back(BcdByte(s.length.seconds));
    r.push_back(BcdByte(s.length.minutes));
    r.push_back(BcdByte(s.length.hours));
    r.push_back(static_cast<std::uint8_t>(s.avgHr));
    r.push_back(static_cast<std::uint8_t>(s.maxHr));
    return r;
}

std::vector<std::uint8_t> PackedLapTime(const Time& t) {
    return {static_cast<std::uint8_t>((t.seconds & 0x3F) | ((t.tenths & 3) << 6)),
            static_cast<std::uint8_t>((t.minutes & 0x3F) | ((t.tenths & 0x0C) << 4)),
            static_cast<std::uint8_t>(t.hours)};
}

// A series in blocks: one block up to 60 samples, two for more.
void SeriesBlocks(std::vector<std::vector<std::uint8_t>>& blocks, const std::vector<int>& values,
                  std::size_t n) {
    std::vector<std::uint8_t> all;
    for (std::size_t i = 0; i < n; ++i)
        all.push_back(static_cast<std::uint8_t>(i < values.size() ? values[i] : 0));
    if (n <= 60) {
        blocks.push_back(all);
    } else {
        blocks.emplace_back(all.begin(), all.begin() + 60);
        blocks.emplace_back(all.begin() + 60, all.end());
    }
}

}  // namespace

Stream FrameS410Blocks(const std::vector<std::vector<std::uint8_t>>& blocks, int modelByte) {
    Stream stream;
    std::size_t total = 0;
    for (const auto& block : blocks) total += block.size();
    stream.bytes = {0xAA,
                    0xAA,
                    0xAA,
                    0xAA,
                    0xAA,
                    0x55,
                    static_cast<std::uint8_t>(modelByte),
                    0,
                    static_cast<std::uint8_t>(blocks.size()),
                    static_cast<std::uint8_t>(total & 0xFF),
                    static_cast<std::uint8_t>(total >> 8),
                    0,
                    0};
    for (std::size_t k = 0; k < blocks.size(); ++k) {
        stream.blockAt.push_back(stream.bytes.size());
        std::vector<std::uint8_t> framed = {0x55, static_cast<std::uint8_t>(k + 1),
                                            static_cast<std::uint8_t>(blocks[k].size())};
        Put(framed, blocks[k]);
        const std::uint16_t crc = BlockCrc16(framed.data(), framed.size());
        framed.push_back(static_cast<std::uint8_t>(crc >> 8));
        framed.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        Put(stream.bytes, framed);
    }
    return stream;
}

Stream BuildS410Stream(const S410Values& v) {
    Stream stream = FrameS410Blocks(BuildS410Blocks(v), v.s510 ? 0x51 : 10);
    // The head's spare bytes, which no checksum covers (the blocks' draw is another).
    RandomContent random(v.randomSeed, 1);
    random.Fill(stream.bytes, 7, 8);
    random.Fill(stream.bytes, 11, 13);
    return stream;
}

std::vector<std::vector<std::uint8_t>> BuildS410Blocks(const S410Values& v) {
    const std::size_t n = std::max(v.hr.size(), std::max(v.speed.size(), v.cadence.size()));
    const int s = v.s510 ? 1 : 0;
    std::vector<std::vector<std::uint8_t>> blocks;
    RandomContent random(v.randomSeed);

    std::vector<std::uint8_t> first;
    first.push_back(static_cast<std::uint8_t>(n));
    first.push_back(static_cast<std::uint8_t>(v.intervalCode));
    Put(first, SummaryRecord(v.current));
    first.push_back(BcdByte(static_cast<int>(v.laps.size())));
    // A second lap count that differs from the first announces 10-byte S410 lap records.
    const int second =
        v.longLapRecords ? static_cast<int>(v.laps.size()) + 1 : static_cast<int>(v.laps.size());
    first.push_back(BcdByte(second % 100));
    first.resize(27 + s, 0);
    random.Fill(first, 23, first.size());
    if (v.s510) first[26] = static_cast<std::uint8_t>(v.flags);
    for (int z = 0; z < 3; ++z) {
        first.push_back(static_cast<std::uint8_t>(v.lower[z]));
        first.push_back(static_cast<std::uint8_t>(v.upper[z]));
    }
    blocks.push_back(first);

    std::vector<std::uint8_t> secondBlock(8 + s, 0);
    random.Fill(secondBlock, 0, secondBlock.size());
    Put(secondBlock, Bcd(v.calories, 3));
    Put(secondBlock, Bcd(v.totalCalories, 3));
    Put(secondBlock, Bcd(v.totalHours, 2));
    secondBlock.push_back(BcdByte(v.totalMinutes));
    if (v.s510) {
        Put(secondBlock, Bcd(v.totalDistance, 3));
        Put(secondBlock, Bcd(v.distance, 2));
    }
    blocks.push_back(secondBlock);

    // The series in the order the receiver reads them, then empty blocks up to the lap area.
    SeriesBlocks(blocks, v.hr, n);
    const bool cycling = v.s510 && (v.flags & 0x30);
    if (cycling && (v.flags & 1)) SeriesBlocks(blocks, v.speed, n);
    if (cycling && (v.flags & 4)) SeriesBlocks(blocks, v.cadence, n);
    const std::size_t lapBlock = v.s510 ? (n > 60 ? 8 : 5) : (n > 60 ? 4 : 3);
    while (blocks.size() < lapBlock) blocks.emplace_back();

    std::vector<std::uint8_t> area;
    const std::size_t recordSize = v.s510 ? 11 : (v.longLapRecords ? 10 : 6);
    for (const Lap& lap : v.laps) {
        std::vector<std::uint8_t> record = PackedLapTime(lap.time);
        record.push_back(static_cast<std::uint8_t>(lap.endHr));
        record.push_back(static_cast<std::uint8_t>(lap.avgHr));
        record.push_back(static_cast<std::uint8_t>(lap.maxHr));
        if (v.s510) {
            record.push_back(static_cast<std::uint8_t>(lap.distance & 0xFF));
            record.push_back(static_cast<std::uint8_t>(lap.distance >> 8));
        }
        const std::size_t read = record.size();
        record.resize(recordSize, 0);
        random.Fill(record, read, recordSize);
        Put(area, record);
    }
    for (std::size_t at = 0; at < area.size(); at += 60) {
        blocks.emplace_back(area.begin() + at, area.begin() + std::min(area.size(), at + 60));
    }

    if (!v.earlier.empty()) {
        std::vector<std::uint8_t> older;
        std::vector<std::uint8_t> oldest;
        for (std::size_t f = 0; f < 5; ++f) {
            const Summary& record = f < v.earlier.size() ? v.earlier[f] : Summary{};
            Put(f < 2 ? older : oldest, SummaryRecord(record));
        }
        blocks.push_back(older);
        blocks.push_back(oldest);
    }
    return blocks;
}

void BreakChecksum(Stream& stream, std::size_t block) {
    const std::size_t at = stream.blockAt.at(block);
    stream.bytes.at(at + 3 + stream.bytes[at + 2] + 1) ^= 0x01;
}

void SetBlockNumber(Stream& stream, std::size_t block, int number) {
    const std::size_t at = stream.blockAt.at(block);
    stream.bytes.at(at + 1) = static_cast<std::uint8_t>(number);
    // Keep the checksum right, so only the number is wrong.
    const std::size_t len = stream.bytes[at + 2];
    const std::uint16_t crc = BlockCrc16(stream.bytes.data() + at, len + 3);
    stream.bytes[at + 3 + len] = static_cast<std::uint8_t>(crc >> 8);
    stream.bytes[at + 4 + len] = static_cast<std::uint8_t>(crc & 0xFF);
}

void SetChecksum(Stream& stream, std::size_t block, std::uint16_t stored) {
    const std::size_t at = stream.blockAt.at(block);
    const std::size_t len = stream.bytes.at(at + 2);
    stream.bytes.at(at + 3 + len) = static_cast<std::uint8_t>(stored >> 8);
    stream.bytes.at(at + 4 + len) = static_cast<std::uint8_t>(stored & 0xFF);
}

std::size_t DataAt(const Stream& stream, std::size_t block, std::size_t offset) {
    return stream.blockAt.at(block) + 3 + offset;
}

void SetBlockCount(Stream& stream, int count) {
    stream.bytes.at(8) = static_cast<std::uint8_t>(count);
}

ReceivedBytes ToReceived(const std::vector<std::uint8_t>& bytes) {
    ReceivedBytes received;
    for (std::uint8_t b : bytes) received.Add(b);
    return received;
}

std::string TempPath(const std::string& name) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zendrik-tests-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

std::string WriteDump(const std::vector<std::uint8_t>& bytes, const std::string& name) {
    const std::string path = TempPath(name);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    const std::string text = FormatDump(ToReceived(bytes));
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    return path;
}

std::vector<std::uint8_t> Head(int modelByte, std::size_t size) {
    std::vector<std::uint8_t> bytes{
        0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x55, static_cast<std::uint8_t>(modelByte)};
    bytes.resize(size, 0);
    return bytes;
}

}  // namespace testing_streams

}  // namespace zendrik
