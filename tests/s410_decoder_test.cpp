// The S410/S510 decoder: the checks of the transfer with their messages, and the values it takes
// from the blocks.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "document/document.h"
#include "support/framing_rows.h"
#include "support/golden.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

namespace {

using golden::LineStartingWith;
using namespace testing_streams;

using Blocks = std::vector<std::vector<std::uint8_t>>;

constexpr int kS410 = 10;
constexpr int kS510 = 0x51;

void Decode(Document& data, const std::vector<std::uint8_t>& bytes) {
    data.ShowTransfer(zendrik::ReadS410Transfer(ToReceived(bytes), {{2024, 6, 15}}));
}

// The samples of one series of the decoded exercise (none when it has no such series).
std::vector<int> SeriesOf(const Document& data, zendrik::SeriesKind kind) {
    const zendrik::Series* series =
        data.ValidExercise() ? data.ValidExercise()->Find(kind) : nullptr;
    return series ? series->values : std::vector<int>{};
}

// All lines of a text from the one starting with `from` up to (not including) the next line
// starting with `to`.
std::string Section(const std::string& text, const std::string& from, const std::string& to) {
    const std::size_t begin = text.find("\r\n" + from);
    if (begin == std::string::npos) return {};
    const std::size_t end = text.find("\r\n" + to, begin + 2);
    return text.substr(begin + 2, end == std::string::npos ? std::string::npos : end - begin);
}

S410Values SimpleS410(int samples) {
    S410Values v;
    for (int i = 0; i < samples; ++i) v.hr.push_back(100 + i % 50);
    v.current.length = {0, samples / 4, 0, 0};  // 15 s per sample
    return v;
}

}  // namespace

// The framing checks, each stream decoded over the texts of the one before: a valid report, or
// exactly the messages (a head that does not check out empties the CSV text instead).
TEST(S410Decoder, FramingChecksAndTheirMessages) {
    const std::string header = "\r\ninvalid Data Header\r\n";
    const std::string length = "Length Check failed!\r\n";
    const std::string tooMany = "Internal Buffer too small (21 Blocks)!\r\n";
    const Stream one = FrameS410Blocks({{1, 2, 3}}, kS410);  // a whole transfer of 21 bytes
    ASSERT_EQ(one.bytes.size(), 21u);
    const Stream good = BuildS410Stream(SimpleS410(8));
    Stream renumbered = good;
    SetBlockNumber(renumbered, 1, 3);
    std::vector<std::uint8_t> gap = good.bytes;  // block 3 follows block 1
    gap.erase(gap.begin() + static_cast<std::ptrdiff_t>(good.blockAt[1]),
              gap.begin() + static_cast<std::ptrdiff_t>(good.blockAt[2]));
    std::vector<std::uint8_t> trailing = good.bytes;
    trailing.insert(trailing.end(), {0x55, 0x99, 0x01});
    Stream crc = FrameS410Blocks({{1, 2, 3}, {4, 5, 6}, {7}}, kS410);
    SetChecksum(crc, 1, 0x1234);
    BreakChecksum(crc, 2);  // the scan has stopped before it
    Stream lowCrc = crc;
    SetChecksum(lowCrc, 1, 0x00AB);  // lower-case hexadecimal would betray itself
    Stream emptyCrc = FrameS410Blocks({{}, {}, {}, {}}, kS410);
    SetChecksum(emptyCrc, 3, 0);
    std::vector<std::uint8_t> none = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x55, kS410};  // no blocks
    none.resize(21, 0);
    const std::vector<std::uint8_t> emptyTwo = FrameS410Blocks({{}, {}}, kS410).bytes;

    ExpectFramingRows({
        {"20 bytes", FirstBytes(one.bytes, 20), false, header, ""},
        {"21 bytes", one.bytes, true, "", ""},
        {"preamble", WithByte(one.bytes, 3, 0xAB), false, header, ""},
        {"sync byte", WithByte(one.bytes, 5, 0x54), false, header, ""},
        {"20 blocks", FrameS410Blocks(Blocks(20, {7}), kS410).bytes, true, "", ""},
        {"21 blocks", FrameS410Blocks(Blocks(21, {7}), kS410).bytes, false, tooMany + length, tooMany + length},
        // With a stored total of 0 the length check has nothing to object to.
        {"21 empty blocks", FrameS410Blocks(Blocks(21), kS410).bytes, false, tooMany, tooMany},
        // Misplaced blocks fail the length check without a message of their own.
        {"renumbered", renumbered.bytes, false, length, length},
        {"gap", gap, false, length, length},
        {"unmarked", WithByte(good.bytes, good.blockAt[2], 0x54), false, length, length},
        {"last byte missing", FirstBytes(good.bytes, good.bytes.size() - 1), false, length, length},
        {"bytes after the last block", trailing, true, "", ""},
        {"good", good.bytes, true, "", ""},
        {"cut block, total 0", FirstBytes(emptyTwo, emptyTwo.size() - 1), false, "", ""},
        {"checksum", crc.bytes, false, "CRC Error Block 2: BlockCRC: 1234, expected: 3AE4\r\n" + length,
         "CRC Error Block 2: BlockCRC: 1234, expected: 3AE4\r\n" + length},
        {"small checksum", lowCrc.bytes, false, "CRC Error Block 2: BlockCRC: 00AB, expected: 3AE4\r\n" + length,
         "CRC Error Block 2: BlockCRC: 00AB, expected: 3AE4\r\n" + length},
        // When the stored total is 0 only the checksum is reported.
        {"empty blocks' checksum", emptyCrc.bytes, false, "CRC Error Block 4: BlockCRC: 0000, expected: 9C07\r\n",
         "CRC Error Block 4: BlockCRC: 0000, expected: 9C07\r\n"},
        {"stored total", WithByte(good.bytes, 9, good.bytes[9] ^ 0x01), false, length, length},
        // No blocks at all pass only with a stored total of 0.
        {"no blocks", none, true, "", ""},
        {"no blocks, total 5", WithByte(none, 9, 5), false, length, length},
    }, [](Document& data, const std::vector<std::uint8_t>& bytes) { Decode(data, bytes); });
    Document data;
    // Blocks that are not there read as zeros.
    Decode(data, none);
    EXPECT_EQ(LineStartingWith(data.Hrm(), "Monitor="), "Monitor=9\r\n");
    EXPECT_EQ(LineStartingWith(data.Hrm(), "Interval="), "Interval=15\r\n");
}

TEST(S410Decoder, EachRunReplacesTheReportAndTheValidFlag) {
    S410Values v = SimpleS410(8);
    v.current.date = {2007, 11, 30};
    const Stream good = BuildS410Stream(v);
    Document data;
    Decode(data, good.bytes);
    const std::string first = data.Hrm();
    EXPECT_EQ(data.Valid(), 1);
    EXPECT_EQ(data.Date(), "20071130");
    EXPECT_EQ(data.HrmCompat(), "");
    EXPECT_EQ(LineStartingWith(data.Hrm(), "Date="), "Date=20071130\r\n");

    Decode(data, good.bytes);
    EXPECT_EQ(data.Hrm(), first);

    Stream bad = good;
    BreakChecksum(bad, 0);
    Decode(data, bad.bytes);
    EXPECT_EQ(data.Valid(), 0);
    EXPECT_EQ(data.Csv(), data.Hrm());
}

TEST(S410Decoder, S510FlagsChooseTheSeries) {
    S410Values v;
    v.s510 = true;
    v.hr = {100, 101, 102};
    v.speed = {10, 11, 12};
    v.cadence = {80, 81, 82};
    Document data;

    // Speed and cadence announced, but no cycling data: nothing besides the heart rate.
    v.flags = 0x05;
    Decode(data, BuildS410Stream(v).bytes);
    EXPECT_EQ(LineStartingWith(data.Hrm(), "SMode="), "SMode=110000000\r\n");
    EXPECT_EQ(LineStartingWith(data.Csv(), "SMode"), "SMode\t110000000\r\n");
    EXPECT_EQ(Section(data.Hrm(), "[HRData]", "[File1]"),
              "[HRData]\r\n100\r\n101\r\n102\r\n\r\n");
    EXPECT_EQ(data.Csv().find("[Speed]"), std::string::npos);
    EXPECT_EQ(data.Csv().find("[Cadence]"), std::string::npos);

    // Cadence alone, on the block right after the heart rate.
    v.flags = 0x14;
    Decode(data, BuildS410Stream(v).bytes);
    EXPECT_EQ(LineStartingWith(data.Hrm(), "SMode="), "SMode=010000100\r\n");
    EXPECT_EQ(Section(data.Hrm(), "[HRData]", "[File1]"),
              "[HRData]\r\n100\t80\r\n101\t81\r\n102\t82\r\n\r\n");
    EXPECT_EQ(data.Csv().find("[Speed]"), std::string::npos);
    EXPECT_EQ(LineStartingWith(data.Csv(), "[Cadence]"), "[Cadence]\t80\t81\t82\r\n");

    // Speed alone, bit 5 for cycling.
    v.flags = 0x21;
    Decode(data, BuildS410Stream(v).bytes);
    EXPECT_EQ(LineStartingWith(data.Hrm(), "SMode="), "SMode=100000100\r\n");
    EXPECT_EQ(Section(data.Hrm(), "[HRData]", "[File1]"),
              "[HRData]\r\n100\t50\r\n101\t55\r\n102\t60\r\n\r\n");
    EXPECT_EQ(LineStartingWith(data.Csv(), "[Speed]"), "[Speed]\t50\t55\t60\r\n");
}

TEST(S410Decoder, SeriesFollowTheLengthsOfTheirBlocks) {
    // Fifty heart rates sent as 30 + 20, and the speed series in the block after them.
    S410Values v = SimpleS410(50);
    v.s510 = true;
    v.flags = 0x31;
    v.speed.assign(50, 7);
    v.speed[0] = 3;
    Blocks blocks = BuildS410Blocks(v);
    const std::vector<std::uint8_t> hr = blocks[2];
    blocks[2].assign(hr.begin(), hr.begin() + 30);
    blocks.insert(blocks.begin() + 3, std::vector<std::uint8_t>(hr.begin() + 30, hr.end()));

    Document data;
    Decode(data, FrameS410Blocks(blocks, kS510).bytes);
    ASSERT_EQ(data.Valid(), 1);
    const std::vector<int> rates = SeriesOf(data, zendrik::SeriesKind::HeartRate);
    const std::vector<int> speed = SeriesOf(data, zendrik::SeriesKind::Speed);
    ASSERT_EQ(rates.size(), 50u);
    ASSERT_EQ(speed.size(), 50u);
    EXPECT_EQ(rates[29], 129);
    EXPECT_EQ(rates[30], 130);
    EXPECT_EQ(rates[49], 149);
    EXPECT_EQ(speed[0], 15);
    EXPECT_EQ(speed[49], 35);
}

TEST(S410Decoder, NoSamplesAndNoLaps) {
    S410Values v;
    v.intervalCode = 2;
    Document data;
    Decode(data, BuildS410Stream(v).bytes);
    ASSERT_EQ(data.Valid(), 1);
    const std::string& he = data.Hrm();
    EXPECT_EQ(LineStartingWith(he, "Interval="), "Interval=60\r\n");
    EXPECT_NE(he.find("[IntTimes]\r\n\r\n[IntNotes]"), std::string::npos);
    EXPECT_NE(
        he.find("[Summary-123]\r\n0\t0\t0\t0\t0\t0\r\n0\t0\t0\t0\r\n"
                "0\t0\t0\t0\t0\t0\r\n0\t0\t0\t0\r\n0\t0\t0\t0\t0\t0\r\n0\t0\t0\t0\r\n0\t0\r\n"),
        std::string::npos);
    EXPECT_NE(he.find("[HRData]\r\n\r\n[File6]"), std::string::npos);
    EXPECT_NE(
        data.Csv().find("\r\n[Laps]\tTime\tEndHR\tMinHR\tAvgHR\tMaxHR\r\n\r\n[HRData]\r\n\r\n"),
        std::string::npos);
    EXPECT_TRUE(data.Csv().ends_with("\r\n[HRData]\r\n\r\n"));
}

TEST(S410Decoder, RecordingInterval) {
    Document data;
    auto interval = [&data](const S410Values& v) {
        Decode(data, BuildS410Stream(v).bytes);
        return LineStartingWith(data.Hrm(), "Interval=");
    };
    S410Values none;
    none.intervalCode = 9;
    EXPECT_EQ(interval(none), "Interval=1\r\n");
    none.intervalCode = 0x12;  // only the low nibble is the code
    EXPECT_EQ(interval(none), "Interval=60\r\n");
    none.intervalCode = 5;
    EXPECT_EQ(interval(none), "Interval=480\r\n");

    // With samples the length decides, rounded up to a multiple of 15 seconds.
    S410Values sixty;
    sixty.hr.assign(60, 120);
    sixty.intervalCode = 9;
    sixty.current.length = {0, 30, 0, 0};
    EXPECT_EQ(interval(sixty), "Interval=30\r\n");
    sixty.current.length = {0, 29, 59, 9};
    EXPECT_EQ(interval(sixty), "Interval=30\r\n");
    sixty.current.length = {0, 15, 59, 0};
    EXPECT_EQ(interval(sixty), "Interval=15\r\n");
    sixty.current.length = {0, 16, 0, 0};
    EXPECT_EQ(interval(sixty), "Interval=30\r\n");
    // Under a second per sample the interval is 0; the lap minimum must cope with that.
    sixty.current.length = {0, 0, 30, 0};
    sixty.laps = {{{0, 0, 30, 0}, 100, 0, 0, 0}};
    EXPECT_EQ(interval(sixty), "Interval=0\r\n");
    EXPECT_EQ(LineStartingWith(data.Hrm(), "00:00:30.0"), "00:00:30.0\t100\t0\t0\t0\r\n");
}

TEST(S410Decoder, LongSeriesMoveTheLapArea) {
    const testing_streams::Lap lap{{0, 12, 34, 5}, 141, 133, 155, 42};
    Document data;

    S410Values s410 = SimpleS410(61);
    s410.laps = {lap};
    const Stream s410Stream = BuildS410Stream(s410);
    ASSERT_EQ(s410Stream.blockAt.size(), 5u);  // heart rate in blocks 2 and 3, laps in 4
    Decode(data, s410Stream.bytes);
    EXPECT_EQ(LineStartingWith(data.Csv(), "1\t"), "1\t00:12:34.5\t141\t100\t133\t155\r\n");
    const std::vector<int> hr = SeriesOf(data, zendrik::SeriesKind::HeartRate);
    ASSERT_EQ(hr.size(), 61u);
    EXPECT_EQ(hr[59], 109);
    EXPECT_EQ(hr[60], 110);  // the first sample of the second block

    S410Values s510 = SimpleS410(61);
    s510.s510 = true;
    s510.flags = 0x35;
    s510.speed.assign(61, 4);
    s510.cadence.assign(61, 90);
    s510.cadence[60] = 91;
    s510.laps = {lap};
    const Stream s510Stream = BuildS410Stream(s510);
    ASSERT_EQ(s510Stream.blockAt.size(), 9u);  // laps in block 8
    Decode(data, s510Stream.bytes);
    EXPECT_EQ(LineStartingWith(data.Csv(), "1\t"),
              "1\t00:12:34.5\t141\t100\t133\t155\t4200\r\n");
    ASSERT_EQ(SeriesOf(data, zendrik::SeriesKind::Speed).size(), 61u);
    EXPECT_EQ(SeriesOf(data, zendrik::SeriesKind::Speed)[60], 20);
    EXPECT_EQ(SeriesOf(data, zendrik::SeriesKind::Cadence).at(60), 91);

    // Without cycling data the S510 laps still come from block 8 (the blocks between are empty).
    s510.flags = 0x00;
    Decode(data, BuildS410Stream(s510).bytes);
    EXPECT_EQ(LineStartingWith(data.Csv(), "1\t"),
              "1\t00:12:34.5\t141\t100\t133\t155\t4200\r\n");
}

TEST(S410Decoder, LapRecordSizesAndCounts) {
    Document data;
    S410Values v = SimpleS410(8);
    v.laps = {{{0, 0, 30, 0}, 110, 105, 115, 0}, {{1, 2, 3, 15}, 120, 112, 130, 0}};

    // A second lap count that differs from the first: 10 bytes per record.
    v.longLapRecords = true;
    Decode(data, BuildS410Stream(v).bytes);
    EXPECT_EQ(LineStartingWith(data.Csv(), "1\t"), "1\t00:00:30.0\t110\t100\t105\t115\r\n");
    EXPECT_EQ(LineStartingWith(data.Csv(), "2\t"), "2\t01:02:03.15\t120\t102\t112\t130\r\n");

    // testing_streams::Lap count 0x12 is twelve laps; their 72 bytes fill one block of 60 and part of the next.
    S410Values twelve = SimpleS410(8);
    for (int j = 1; j <= 12; ++j)
        twelve.laps.push_back({{0, j, 0, 0}, 100 + j, 90 + j, 150 + j, 0});
    const Stream stream = BuildS410Stream(twelve);
    ASSERT_EQ(stream.bytes[DataAt(stream, 0, 21)], 0x12);
    Decode(data, stream.bytes);
    const std::string laps = Section(data.Csv(), "[Laps]", "[HRData]");
    EXPECT_EQ(std::count(laps.begin(), laps.end(), '\n'), 14);  // title, 12 laps, empty line
    EXPECT_EQ(LineStartingWith(data.Csv(), "10\t"), "10\t00:10:00.0\t110\t0\t100\t160\r\n");
    EXPECT_EQ(LineStartingWith(data.Csv(), "12\t"), "12\t00:12:00.0\t112\t0\t102\t162\r\n");

    // S510 records are 11 bytes, whatever the second count says.
    S410Values s510 = twelve;
    s510.s510 = true;
    s510.laps[11].distance = 0x0102;
    Decode(data, BuildS410Stream(s510).bytes);
    EXPECT_EQ(LineStartingWith(data.Csv(), "12\t"),
              "12\t00:12:00.0\t112\t0\t102\t162\t25800\r\n");
}

TEST(S410Decoder, LapMinimumHeartRate) {
    S410Values v;
    v.hr = {150, 140, 130, 120, 110, 90, 120, 130, 140, 150};
    v.current.length = {0, 10, 0, 0};         // 60 s per sample
    v.laps = {{{0, 3, 0, 0}, 100, 0, 0, 0},   // samples 0-3; the lap's own end is lower
              {{0, 5, 0, 0}, 150, 0, 0, 0},   // samples 3-5
              {{0, 10, 0, 0}, 95, 0, 0, 0},   // samples 5-9: sample 5 counts for both laps
              {{0, 20, 0, 0}, 70, 0, 0, 0}};  // past the samples: nothing to compare with
    Document data;
    Decode(data, BuildS410Stream(v).bytes);
    ASSERT_EQ(LineStartingWith(data.Hrm(), "Interval="), "Interval=60\r\n");
    EXPECT_EQ(LineStartingWith(data.Hrm(), "00:03:00.0"), "00:03:00.0\t100\t100\t0\t0\r\n");
    EXPECT_EQ(LineStartingWith(data.Hrm(), "00:05:00.0"), "00:05:00.0\t150\t90\t0\t0\r\n");
    EXPECT_EQ(LineStartingWith(data.Hrm(), "00:10:00.0"), "00:10:00.0\t95\t90\t0\t0\r\n");
    EXPECT_EQ(LineStartingWith(data.Hrm(), "00:20:00.0"), "00:20:00.0\t70\t0\t0\t0\r\n");
}

TEST(S410Decoder, ExerciseValuesFromTheSecondBlock) {
    S410Values v = SimpleS410(4);
    v.calories = 12345;
    v.totalCalories = 7;
    v.totalHours = 12;
    v.totalMinutes = 34;
    Document data;
    Decode(data, BuildS410Stream(v).bytes);
    const Stream stream = BuildS410Stream(v);
    EXPECT_EQ(stream.bytes[DataAt(stream, 1, 8)], 0x45);
    EXPECT_EQ(stream.bytes[DataAt(stream, 1, 14)], 0x12);
    EXPECT_EQ(LineStartingWith(data.Hrm(), "Calories="), "Calories=1234.5\r\n");
    EXPECT_EQ(LineStartingWith(data.Hrm(), "TotalCalories="), "TotalCalories=7\r\n");
    EXPECT_EQ(LineStartingWith(data.Hrm(), "TotalTime="), "TotalTime=12:34:00\r\n");
    EXPECT_EQ(data.Hrm().find("Distance="), std::string::npos);
    EXPECT_EQ(LineStartingWith(data.Csv(), "[Laps]"),
              "[Laps]\tTime\tEndHR\tMinHR\tAvgHR\tMaxHR\r\n");

    v.totalHours = 100;
    v.totalMinutes = 0;
    Decode(data, BuildS410Stream(v).bytes);
    EXPECT_EQ(LineStartingWith(data.Hrm(), "TotalTime="), "TotalTime=100:00:00\r\n");
}

TEST(S410Decoder, EarlierExercisesComeFromTheLastTwoBlocks) {
    Document data;
    S410Values three = SimpleS410(4);
    const Stream threeBlocks = BuildS410Stream(three);
    ASSERT_EQ(threeBlocks.blockAt.size(), 3u);
    Decode(data, threeBlocks.bytes);
    EXPECT_EQ(data.Hrm().find("[File1]"), std::string::npos);
    EXPECT_NE(data.Hrm().find("\r\n\r\n[File6]\r\n"), std::string::npos);

    // Four blocks: first, second, then the two blocks of earlier exercises.
    S410Values four;
    for (int f = 1; f <= 5; ++f) {
        Summary s;
        s.name = "Ex" + std::to_string(f);
        s.avgHr = 100 + f;
        four.earlier.push_back(s);
    }
    Blocks blocks = BuildS410Blocks(four);
    ASSERT_EQ(blocks.size(), 5u);
    blocks.erase(blocks.begin() + 2);  // the empty heart-rate block
    Decode(data, FrameS410Blocks(blocks, kS410).bytes);
    ASSERT_EQ(data.Valid(), 1);
    for (int f = 1; f <= 5; ++f) {
        const std::string section = Section(data.Hrm(), "[File" + std::to_string(f) + "]",
                                            "[File" + std::to_string(f + 1) + "]");
        EXPECT_NE(section.find("AvgHR=" + std::to_string(100 + f) + "\r\n"), std::string::npos)
            << section;
        EXPECT_NE(section.find("Exercise=Ex" + std::to_string(f) + "\r\n"), std::string::npos)
            << section;
    }
}

TEST(S410Decoder, OversizedSampleCountIsCutToTheSeriesSize) {
    S410Values v;
    for (int i = 0; i < 200; ++i) v.hr.push_back(60 + i % 100);
    v.current.length = {0, 50, 0, 0};
    const Stream stream = BuildS410Stream(v);
    ASSERT_EQ(stream.bytes[DataAt(stream, 0, 0)], 200);
    Document data;
    Decode(data, stream.bytes);
    ASSERT_EQ(data.Valid(), 1);
    EXPECT_EQ(data.ValidExercise()->SampleCount(), 120u);
    EXPECT_EQ(LineStartingWith(data.Hrm(), "Interval="), "Interval=30\r\n");  // 3000 s / 120
    EXPECT_NE(data.Hrm().find("\r\n0\t120\r\n"), std::string::npos);
    const std::string samples = Section(data.Hrm(), "[HRData]", "[File1]");
    EXPECT_EQ(std::count(samples.begin(), samples.end(), '\n'), 122);  // title, samples, gap
    EXPECT_EQ(SeriesOf(data, zendrik::SeriesKind::HeartRate).at(119), 60 + 119 % 100);
    const std::string csv = LineStartingWith(data.Csv(), "[HRData]");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\t'), 120);
}

TEST(S410Decoder, MissingBlocksReadAsZeros) {
    Document data;

    // Laps announced, but the stream ends before the lap area.
    S410Values laps = SimpleS410(4);
    laps.laps = {{{0, 0, 30, 0}, 110, 105, 115, 0}, {{0, 1, 0, 0}, 120, 112, 130, 0}};
    Blocks blocks = BuildS410Blocks(laps);
    blocks.resize(3);
    Decode(data, FrameS410Blocks(blocks, kS410).bytes);
    ASSERT_EQ(data.Valid(), 1);
    EXPECT_EQ(Section(data.Csv(), "[Laps]", "[HRData]"),
              "[Laps]\tTime\tEndHR\tMinHR\tAvgHR\tMaxHR\r\n"
              "1\t00:00:00.0\t0\t0\t0\t0\r\n"
              "2\t00:00:00.0\t0\t0\t0\t0\r\n\r\n");

    // Samples announced, but no series block: zero heart rates, all below every zone.
    blocks.resize(2);
    Decode(data, FrameS410Blocks(blocks, kS410).bytes);
    ASSERT_EQ(data.Valid(), 1);
    EXPECT_EQ(LineStartingWith(data.Csv(), "[HRData]"), "[HRData]\t0\t0\t0\t0\r\n");
    EXPECT_NE(data.Hrm().find("[Summary-123]\r\n60\t0\t0\t0\t60\t0\r\n"), std::string::npos);

    // The largest lap count the byte can state, in 10-byte records far past the last block.
    blocks = BuildS410Blocks(SimpleS410(4));
    blocks[0][21] = 0xFF;
    Decode(data, FrameS410Blocks(blocks, kS410).bytes);
    ASSERT_EQ(data.Valid(), 1);
    const std::string rows = Section(data.Csv(), "[Laps]", "[HRData]");
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 167);
    EXPECT_EQ(LineStartingWith(data.Csv(), "165\t"), "165\t00:00:00.0\t0\t0\t0\t0\r\n");
}
