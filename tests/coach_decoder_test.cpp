// The Coach decoder: the checks of the transfer with their messages, the values it takes from
// the blocks, and the year it gives a stream that carries none.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "document/document.h"
#include "support/open_document.h"
#include "reception/stream_check.h"
#include "support/coach_stream_builder.h"
#include "support/framing_rows.h"
#include "support/golden.h"

using namespace zendrik;

namespace {

using golden::LineStartingWith;
using namespace testing_streams;

using Blocks = std::vector<std::vector<std::uint8_t>>;

constexpr DateValue kMidJune2024{2024, 6, 15};

void Decode(Document& data, const std::vector<std::uint8_t>& bytes,
            DateValue today = kMidJune2024) {
    data.ShowTransfer(zendrik::ReadCoachTransfer(ToReceived(bytes), {today}));
}

void ExpectRejected(const Document& data, const std::string& messages) {
    EXPECT_EQ(data.Hrm(), messages);
    EXPECT_EQ(data.Csv(), messages);
    EXPECT_EQ(data.HrmCompat(), "");
    EXPECT_EQ(data.Valid(), 0);
}

CoachValues CoachExercise(int samples) {
    CoachValues v;
    for (int i = 0; i < samples; ++i) v.hr.push_back(100 + i);
    v.laps = {{{0, 30, 0, 0}, 150, 130, 160, 0}};
    return v;
}

// The [HRData] line of the CSV text.
std::string CsvSamples(const Document& data) {
    return LineStartingWith(data.Csv(), "[HRData]");
}

}  // namespace

// The framing checks, each stream decoded over the texts of the one before: a valid report, or
// exactly the messages; block errors have none, so both texts are empty.
TEST(CoachDecoder, FramingChecksAndTheirMessages) {
    const std::string header = "\r\ninvalid Data Header\r\n";
    const Stream good = BuildCoachStream(CoachExercise(30));
    CoachValues full = CoachExercise(120);  // samples in blocks 5 to 14, block 15 empty, laps from 16
    full.laps.assign(6, {{0, 10, 0, 0}, 140, 130, 150, 0});
    const Stream twenty = BuildCoachStream(full);
    ASSERT_EQ(twenty.bytes[8], 20);
    full.laps.push_back(full.laps.back());
    // The checksum is stored low byte first.
    const std::size_t at = good.blockAt[2];
    const std::uint16_t right = BlockCrc16(good.bytes.data() + at, 15);
    char crcMessage[80];
    std::snprintf(crcMessage, sizeof crcMessage, "CRC Error Block 3: BlockCRC: 1234, expected: %04X\r\n", right);
    Stream renumbered = good;
    SetCoachBlockNumber(renumbered, 3, 3);  // two blocks numbered 3
    Stream announced = good;  // a block announced but never sent
    SetBlockCount(announced, static_cast<int>(good.blockAt.size()) + 1);

    ExpectFramingRows({
        {"20 bytes", FirstBytes(good.bytes, 20), false, header, ""},
        {"preamble", WithByte(good.bytes, 2, 0xAB), false, header, ""},
        {"sync byte", WithByte(good.bytes, 5, 0x56), false, header, ""},
        // 21 bytes pass the head; the first block is then cut short.
        {"21 bytes", FirstBytes(good.bytes, 21), false, "", ""},
        {"20 blocks", twenty.bytes, true, "", ""},
        {"21 blocks", BuildCoachStream(full).bytes, false, "Internal Buffer too small (21 Blocks)!\r\n",
         "Internal Buffer too small (21 Blocks)!\r\n"},
        {"checksum", WithByte(WithByte(good.bytes, at + 15, 0x34), at + 16, 0x12), false, crcMessage, crcMessage},
        {"good", good.bytes, true, "", ""},
        {"renumbered", renumbered.bytes, false, "", ""},
        {"unmarked", WithByte(good.bytes, good.blockAt[1], 0x56), false, "", ""},
        {"last byte missing", FirstBytes(good.bytes, good.bytes.size() - 1), false, "", ""},
        {"block announced", announced.bytes, false, "", ""},
    }, [](Document& data, const std::vector<std::uint8_t>& bytes) { Decode(data, bytes); });
    Document data;
    Decode(data, twenty.bytes);
    EXPECT_EQ(data.ValidExercise()->SampleCount(), 120u);
}

TEST(CoachDecoder, LengthByteBelowFiveIsABlockErrorWithoutMessage) {
    // No such block can hold its mark, number, length and checksum; it must neither produce a
    // checksum message nor be stepped over.
    for (int length : {0, 1, 2, 3, 4}) {
        Stream stream = BuildCoachStream(CoachExercise(30));
        SetCoachBlockLength(stream, 2, length);
        Document data;
        Decode(data, stream.bytes);
        ExpectRejected(data, "");
    }
}

TEST(CoachDecoder, BlocksOfOtherLengthsPassWhenTheirChecksumsAreRight) {
    const CoachValues values = CoachExercise(30);
    Blocks blocks = BuildCoachBlocks(values);
    const Stream plain = FrameCoachBlocks(blocks);

    // Extra data in the first sample block is never read: samples still count 12 to a block.
    blocks[5].insert(blocks[5].end(), 8, 0x99);
    std::vector<std::uint8_t> longer = FrameCoachBlocks(blocks).bytes;
    longer.insert(longer.end(), {0x55, 0x13, 0x11});  // bytes after the last block do not count

    Document expected;
    Decode(expected, plain.bytes);
    Document data;
    Decode(data, longer);
    EXPECT_EQ(data.Valid(), 1);
    EXPECT_EQ(data.Hrm(), expected.Hrm());
    EXPECT_EQ(data.Csv(), expected.Csv());
}

TEST(CoachDecoder, YearFollowsTheUtcClockAndGoesBackForAMonthStillAhead) {
    CoachValues v = CoachExercise(5);
    v.month = 12;
    v.day = 31;
    Document data;
    Decode(data, BuildCoachStream(v).bytes, {2025, 1, 2});
    EXPECT_EQ(data.Date(), "20241231");
    EXPECT_EQ(LineStartingWith(data.Hrm(), "Date="), "Date=20241231\r\n");
    EXPECT_EQ(LineStartingWith(data.Csv(), "Date"), "Date\t31.12.2024\r\n");

    Decode(data, BuildCoachStream(v).bytes, {2024, 12, 31});
    EXPECT_EQ(data.Date(), "20241231");

    v.month = 1;
    v.day = 2;
    Decode(data, BuildCoachStream(v).bytes, {2025, 1, 2});
    EXPECT_EQ(data.Date(), "20250102");
    Decode(data, BuildCoachStream(v).bytes, {2024, 12, 31});
    EXPECT_EQ(data.Date(), "20240102");
}

TEST(CoachDecoder, DateStartAndCoachValuesComeFromTheFirstBlock) {
    CoachValues v = CoachExercise(5);
    v.month = 10;
    v.day = 29;
    v.start = {23, 59, 58, 0};
    v.coach[0] = 255;
    v.coach[1] = 0;
    Stream stream = BuildCoachStream(v);
    // Bits the watch keeps for itself next to the month and the day.
    stream.bytes[CoachDataAt(stream, 0, 0)] |= 0x50;
    stream.bytes[CoachDataAt(stream, 0, 7)] |= 0xC0;
    stream.bytes[CoachDataAt(stream, 0, 6)] |= 0xC0;
    FixCoachChecksum(stream, 0);

    Document data;
    Decode(data, stream.bytes);
    ASSERT_EQ(data.Valid(), 1);
    EXPECT_EQ(data.Date(), "20231029");
    EXPECT_EQ(LineStartingWith(data.Hrm(), "StartTime="), "StartTime=23:59:58.0\r\n");
    EXPECT_NE(data.Hrm().find("0\t0\t0\r\n255\t0\r\n\r\n[Note]"), std::string::npos);
}

TEST(CoachDecoder, IntervalRoundsTheShareOfEachSampleUpToARecordingRate) {
    struct Case {
        int samples;
        Time length;
        int interval;
    };
    for (const Case& c :
         {Case{0, {1, 0, 0, 0}, 30}, Case{1, {1, 0, 0, 0}, 30}, Case{2, {0, 1, 0, 0}, 30},
          Case{2, {0, 1, 1, 9}, 30}, Case{2, {0, 1, 2, 0}, 60}, Case{10, {0, 40, 0, 0}, 240},
          Case{10, {1, 20, 0, 0}, 480}, Case{10, {1, 20, 10, 0}, 481}}) {
        CoachValues v = CoachExercise(c.samples);
        v.laps.back().time = c.length;
        Document data;
        Decode(data, BuildCoachStream(v).bytes);
        EXPECT_EQ(LineStartingWith(data.Hrm(), "Interval="),
                  "Interval=" + std::to_string(c.interval) + "\r\n")
            << c.samples << " samples";
    }
}

TEST(CoachDecoder, WithoutLapsTheLengthIsZero) {
    CoachValues v = CoachExercise(20);
    v.laps.clear();
    Document data;
    Decode(data, BuildCoachStream(v).bytes);
    ASSERT_EQ(data.Valid(), 1);
    EXPECT_EQ(LineStartingWith(data.Hrm(), "Length="), "Length=00:00:00.0\r\n");
    EXPECT_EQ(LineStartingWith(data.Hrm(), "Interval="), "Interval=30\r\n");
    EXPECT_NE(data.Hrm().find("[IntTimes]\r\n\r\n[IntNotes]"), std::string::npos);
    EXPECT_NE(data.Csv().find("\tMaxHR\r\n\r\n[HRData]"), std::string::npos);
}

TEST(CoachDecoder, SamplesRunTwelveToABlockFromBlockFive) {
    for (int samples : {0, 1, 11, 12, 13, 24, 25, 119, 120}) {
        CoachValues v = CoachExercise(samples);
        v.laps = {{{0, 59, 0, 0}, 150, 140, 160, 0}, {{1, 59, 0, 0}, 151, 141, 161, 0}};
        Document data;
        Decode(data, BuildCoachStream(v).bytes);
        ASSERT_EQ(data.Valid(), 1);
        EXPECT_EQ(data.ValidExercise()->SampleCount(), static_cast<std::size_t>(samples));
        std::string expected = "[HRData]";
        for (int i = 0; i < samples; ++i) expected += "\t" + std::to_string(100 + i);
        EXPECT_EQ(CsvSamples(data), expected + "\r\n");
        // The lap area follows the samples wherever they end.
        const std::string lap = LineStartingWith(data.Csv(), "2\t");
        ASSERT_GT(lap.size(), 17u) << samples << " samples";
        EXPECT_EQ(lap.substr(0, 17), "2\t01:59:00.0\t151\t") << samples << " samples";
        EXPECT_EQ(lap.substr(lap.size() - 10), "\t141\t161\r\n") << samples << " samples";
    }
}

TEST(CoachDecoder, LapAreaSkipsTheBlockAfterAFullSampleBlock) {
    // With 12 samples block index 6 holds nothing the receiver reads.
    CoachValues v = CoachExercise(12);
    v.laps = {{{0, 10, 0, 0}, 150, 140, 160, 0}};
    Blocks blocks = BuildCoachBlocks(v);
    ASSERT_EQ(blocks.size(), 8u);
    blocks[6].assign(12, 0x77);
    Document data;
    Decode(data, FrameCoachBlocks(blocks).bytes);
    EXPECT_EQ(LineStartingWith(data.Csv(), "1\t"), "1\t00:10:00.0\t150\t100\t140\t160\r\n");
}

TEST(CoachDecoder, LapCountIsTheSumOfTwoBcdCounts) {
    CoachValues v = CoachExercise(0);
    v.laps.clear();
    for (int j = 1; j <= 5; ++j)
        v.laps.push_back({{0, 10 * j, 0, 0}, 140 + j, 130 + j, 150 + j, 0});
    v.secondLapCount = 2;
    Document data;
    Decode(data, BuildCoachStream(v).bytes);
    ASSERT_EQ(data.Valid(), 1);
    // Without samples every minimum is 0.
    EXPECT_EQ(LineStartingWith(data.Csv(), "5\t"), "5\t00:50:00.0\t145\t0\t135\t155\r\n");
    EXPECT_EQ(LineStartingWith(data.Csv(), "6\t"), "");
    EXPECT_EQ(LineStartingWith(data.Hrm(), "00:30:00.0\t"), "00:30:00.0\t143\t0\t133\t153\r\n");
}

TEST(CoachDecoder, LapMinimumCoversBothEndSamplesAndIgnoresTheEndHeartRate) {
    CoachValues v;
    v.hr = {150, 140, 145, 120, 160, 155, 158, 130};  // 30 s apart
    v.laps = {{{0, 1, 30, 0}, 100, 145, 150, 0},      // samples 0-3
              {{0, 3, 0, 0}, 100, 150, 160, 0},       // samples 3-6
              {{0, 3, 30, 0}, 100, 150, 160, 0}};     // samples 6-7
    Document data;
    Decode(data, BuildCoachStream(v).bytes);
    ASSERT_EQ(LineStartingWith(data.Hrm(), "Interval="), "Interval=30\r\n");
    EXPECT_EQ(LineStartingWith(data.Csv(), "1\t"), "1\t00:01:30.0\t100\t120\t145\t150\r\n");
    EXPECT_EQ(LineStartingWith(data.Csv(), "2\t"), "2\t00:03:00.0\t100\t120\t150\t160\r\n");
    EXPECT_EQ(LineStartingWith(data.Csv(), "3\t"), "3\t00:03:30.0\t100\t130\t150\t160\r\n");
}

TEST(CoachDecoder, ZoneLimitsComeFromTheFirstTwoBlocks) {
    CoachValues v = CoachExercise(10);  // 100 to 109
    v.lower[0] = 90, v.upper[0] = 103;
    v.lower[1] = 103, v.upper[1] = 108;
    v.lower[2] = 201, v.upper[2] = 202;
    Document data;
    Decode(data, BuildCoachStream(v).bytes);
    // 30 minutes over 10 samples is 180 s a sample, recorded at 240 s.
    EXPECT_NE(data.Hrm().find("Upper1=103\r\nLower1=90\r\nUpper2=108\r\nLower2=103\r\n"
                                 "Upper3=202\r\nLower3=201\r\n"),
              std::string::npos);
    EXPECT_NE(data.Hrm().find("[Summary-123]\r\n"
                                 "2400\t0\t1680\t720\t0\t0\r\n0\t0\t0\t0\r\n"
                                 "2400\t0\t480\t1200\t720\t0\r\n0\t0\t0\t0\r\n"
                                 "2400\t0\t0\t0\t2400\t0\r\n0\t0\t0\t0\r\n"
                                 "0\t10\r\n"),
              std::string::npos)
        << data.Hrm();
}

TEST(CoachDecoder, SampleCountIsCutToTheSeries) {
    CoachValues v = CoachExercise(120);
    v.laps.clear();
    v.sampleCount = 200;
    Document data;
    Decode(data, BuildCoachStream(v).bytes);
    ASSERT_EQ(data.Valid(), 1);
    EXPECT_EQ(data.ValidExercise()->SampleCount(), 120u);
    EXPECT_NE(data.Hrm().find("\r\n0\t120\r\n"), std::string::npos);
    EXPECT_EQ(CsvSamples(data).substr(0, 13), "[HRData]\t100\t");
}

TEST(CoachDecoder, BlocksMissingFromTheStreamReadAsZeros) {
    // Nothing but the head: no value may come from the head bytes themselves.
    Document data;
    std::vector<std::uint8_t> headOnly = FrameCoachBlocks({}).bytes;
    headOnly.resize(21, 0x11);
    Decode(data, headOnly);
    ASSERT_EQ(data.Valid(), 1);
    EXPECT_EQ(data.Date(), "20240000");
    EXPECT_NE(data.Hrm().find("0\t0\t0\r\n0\t0\r\n\r\n[Note]"), std::string::npos);
    EXPECT_EQ(LineStartingWith(data.Hrm(), "StartTime="), "StartTime=00:00:00.0\r\n");
    EXPECT_EQ(LineStartingWith(data.Hrm(), "Upper1="), "Upper1=0\r\n");

    // Samples and laps announced, but their blocks were never sent.
    CoachValues v = CoachExercise(30);
    v.laps.assign(3, {{0, 10, 0, 0}, 140, 130, 150, 0});
    Blocks blocks = BuildCoachBlocks(v);
    blocks.resize(6);
    Decode(data, FrameCoachBlocks(blocks).bytes);
    ASSERT_EQ(data.Valid(), 1);
    std::string samples = "[HRData]";
    for (int i = 0; i < 30; ++i) samples += "\t" + std::to_string(i < 12 ? 100 + i : 0);
    EXPECT_EQ(CsvSamples(data), samples + "\r\n");
    // Every lap ends at 0 s, so each takes its minimum from the first sample.
    EXPECT_EQ(LineStartingWith(data.Csv(), "3\t"), "3\t00:00:00.0\t0\t100\t0\t0\r\n");
}

TEST(CoachDecoder, ModelByteIsNotRead) {
    const Blocks blocks = BuildCoachBlocks(CoachExercise(15));
    Document coach;
    Decode(coach, FrameCoachBlocks(blocks, 10).bytes);
    Document other;
    Decode(other, FrameCoachBlocks(blocks, 0x51).bytes);
    EXPECT_EQ(other.Valid(), 1);
    EXPECT_EQ(other.Hrm(), coach.Hrm());
    EXPECT_EQ(other.Csv(), coach.Csv());
}
