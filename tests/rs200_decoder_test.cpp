// The RS200/CS200 decoder: its value encodings, the head and block checks, the exercise kinds and
// the lap area that runs across the blocks.
#include <gtest/gtest.h>

#include "decoders/rs200_values.h"
#include "formats/rs200_text.h"
#include "decoders/text_append.h"
#include "document/document.h"
#include "support/golden.h"
#include "support/rs200_stream_builder.h"

using namespace zendrik;

using namespace testing_streams;

namespace {

struct Decoded {
    std::string he;
    std::string hp;
    std::string csv;
    int valid = 0;
    std::string date;
};

// `afterARun`: decoded after the default run of 2007-03-15, whose date a report without an
// exercise keeps.
Decoded Decode(const std::vector<std::uint8_t>& bytes, bool afterARun = false) {
    Document data;
    const zendrik::DecodeContext context{{2024, 6, 15}};
    if (afterARun) data.ShowTransfer(zendrik::ReadRs200Transfer(ToReceived(BuildRs200Stream(RunValues{})), context));
    data.ShowTransfer(zendrik::ReadRs200Transfer(ToReceived(bytes), context));
    return {data.Hrm(), data.HrmCompat(), data.Csv(), data.Valid(), data.Date()};
}

std::string Line(const std::string& text, const std::string& prefix) {
    return golden::LineStartingWith(text, prefix);
}

RunLap NumberedRunLap(int n) {
    return {
        {0, n, n % 60, n % 10}, n % 3 == 0, 100 + n, 90 + n, 110 + n, 3000 + n, 3100 + n, 100 * n};
}

RideLap NumberedRideLap(int n) {
    return {
        {0, 2 * n, n % 60, n % 10}, n % 2 == 0, 120 + n, 110 + n, 200 + n, 80 + n, 70 + n, 30 * n};
}

const char kHead[] = "***\r\n*** This is temporary Output for testing RS200/CS200\r\n***\r\n\r\n";

std::vector<std::uint8_t> HeadOnly(std::size_t size) {
    std::vector<std::uint8_t> bytes = BuildRs200Stream(RunValues{});
    bytes.resize(size);
    bytes[kRsKindAt] = 0;
    return bytes;
}

}  // namespace

TEST(Rs200Values, PackedTimesKeepTheirLapMarkOutOfTheHours) {
    EXPECT_EQ(FormatHrmTime(PackedLapTime(0x45, 0x5E, 0x01, kRsHourMask)), "01:30:05.5");
    EXPECT_EQ(FormatHrmTime(PackedLapTime(0x45, 0x5E, 0x81, kRsHourMask)), "01:30:05.5");
}

TEST(Rs200Values, PacesInBothForms) {
    EXPECT_EQ(FormatHrmPace(3125), "05:12.5");
    EXPECT_EQ(FormatHrmPace(0), "00:00.0");
    EXPECT_EQ(FormatHrmPace(65535), "109:13.5");
    const ValueFormat custom{",", "-", "/", false};
    EXPECT_EQ(FormatCsvPace(custom, 3125), "05-12,5");
    EXPECT_EQ(FormatCsvPace(ValueFormat{".", ":", ".", true}, 3129), "05:12");
    EXPECT_EQ(FormatCsvShortTime(ValueFormat{}, 7, 3, 9), "07:03.9");
}

TEST(Rs200Values, PackedDatesTakeTheFourthMonthBitFromTheSecondByte) {
    const DateValue march = PackedDate(0x6F, 0x0E);
    EXPECT_EQ(FormatHrmDate(march), "20070315");
    EXPECT_EQ(ValueFormat{}.FormatCsvDate(march), "15.03.2007");
    const DateValue september = PackedDate(0x2F, 0x0F);
    EXPECT_EQ(september.day, 15);
    EXPECT_EQ(september.month, 9);
    EXPECT_EQ(september.year, 2007);
}

TEST(Rs200Values, NamesEndAtTheMarkedCharacterOrCode73OrAfterFifteen) {
    auto name = [](std::vector<std::uint8_t> bytes) {
        return DecodeRsName(ByteView(ToReceived(bytes), 0));
    };
    EXPECT_EQ(name({0x1C, 0x39, 0xB2, 0x0B}), "Run");
    EXPECT_EQ(name({0x80, 0x01}), "0");
    EXPECT_EQ(name({0x7F, 0x81}), "~1");
    EXPECT_EQ(name({0x1C, 0x49, 0x39, 0xB2}), "R");
    EXPECT_EQ(name(std::vector<std::uint8_t>(20, 0x0B)), std::string(15, 'A'));
    // A stream cut inside the name reads on as code 0, never past its end.
    EXPECT_EQ(name({0x1C}), "R" + std::string(14, '0'));
}

TEST(Rs200Values, DecimalsAndDigitsWithoutTheCLocale) {
    EXPECT_EQ(FormatHrmHundredths(1230), "12.30");
    EXPECT_EQ(FormatHrmHundredths(5), "0.05");
    EXPECT_EQ(FormatHrmHundredths(655350), "6553.50");
    EXPECT_EQ(FormatCsvHundredths(ValueFormat{",", ":", ".", false}, 812), "8,12");
    EXPECT_EQ(BcdDigits(0x59), "59");
    EXPECT_EQ(BcdDigits(0x5A), "5a");
    EXPECT_EQ(HexDigit(0xFC), 'c');
}

TEST(Rs200Decoder, HeadChecksDecideBetweenNothingAndTheTextHead) {
    const Decoded twenty = Decode(HeadOnly(20));
    EXPECT_EQ(twenty.he + twenty.hp + twenty.csv, "");
    EXPECT_EQ(twenty.valid, 0);

    const Decoded head = Decode(HeadOnly(21), true);
    EXPECT_EQ(head.valid, 1);
    EXPECT_SAME_TEXT(std::string(kHead) + "[Params]\r\nVersion=107\r\n", head.he);
    EXPECT_SAME_TEXT(std::string(kHead) + "[Params]\r\nVersion\t107\r\n", head.csv);
    EXPECT_SAME_TEXT("[Params]\r\nVersion=107\r\n", head.hp);
    EXPECT_EQ(head.date, "20070315");  // no exercise, so the earlier date stays

    for (std::size_t at : {0u, 4u, 5u, 6u}) {
        std::vector<std::uint8_t> bytes = BuildRs200Stream(RunValues{});
        bytes[at] = at == 6 ? 10 : 0x54;
        const Decoded broken = Decode(bytes);
        EXPECT_EQ(broken.he + broken.hp + broken.csv, "") << at;
        EXPECT_EQ(broken.valid, 0) << at;
    }
}

TEST(Rs200Decoder, HeadMessagesStandAboveTheEnhancedAndCsvTextsOnly) {
    std::vector<std::uint8_t> bytes = BuildRs200Stream(RunValues{});
    const std::uint16_t computed = RsHeadCrc(bytes);
    SetRsStoredCrc(bytes, 0xBEEF);
    const Decoded crc = Decode(bytes);
    const std::string line =
        "CRC Error Block 0: BlockCRC: BEEF, expected: " + Hex4(computed) + "\r\n";
    EXPECT_EQ(crc.he.rfind(line + kHead, 0), 0u) << crc.he;
    EXPECT_EQ(crc.csv.rfind(line + kHead, 0), 0u);
    EXPECT_EQ(crc.hp.rfind("[Params]\r\n", 0), 0u);
    EXPECT_EQ(crc.valid, 1);
    EXPECT_EQ(Line(crc.he, "Calories="), "Calories=612\r\n");  // the report goes on

    // The count byte itself is checked, so a count that is too large also fails the head CRC.
    bytes = BuildRs200Stream(RunValues{});
    bytes[kRsBlockCountAt] = 21;
    const Decoded many = Decode(bytes);
    EXPECT_EQ(many.he.rfind("Internal Buffer too small (21 Blocks)!\r\nCRC Error Block 0: ", 0), 0u)
        << many.he;
    EXPECT_EQ(many.csv.rfind("Internal Buffer too small (21 Blocks)!\r\n", 0), 0u);
    EXPECT_EQ(many.hp.find("Internal"), std::string::npos);
    EXPECT_EQ(many.valid, 1);
}

TEST(Rs200Decoder, KindByteAndLengthChooseTheExercise) {
    std::vector<std::uint8_t> unknown = BuildRs200Stream(RunValues{});
    unknown[kRsKindAt] = 3;
    const Decoded none = Decode(unknown, true);
    EXPECT_EQ(none.he, std::string(kHead) + "[Params]\r\nVersion=107\r\n");
    EXPECT_EQ(none.date, "20070315");
    EXPECT_EQ(none.valid, 1);

    std::vector<std::uint8_t> ride = BuildCs200Stream(RideValues{});
    ride.resize(129);
    EXPECT_EQ(Decode(ride).he, none.he);
    ride = BuildCs200Stream(RideValues{});
    ride.resize(130);
    const Decoded cut = Decode(ride, true);
    EXPECT_EQ(Line(cut.he, "Monitor="), "Monitor=CS200\r\n");
    EXPECT_EQ(Line(cut.csv, "Monitor"), "Monitor\tCS200\r\n");
    // What lies beyond the received bytes reads as zeros, among it the date.
    EXPECT_EQ(Line(cut.he, "Distance="), "Distance=0.0\r\n");
    EXPECT_EQ(cut.date, "20000000");

    const Decoded run = Decode(BuildRs200Stream(RunValues{}));
    EXPECT_EQ(Line(run.he, "Monitor="), "Monitor=RS200\r\n");
    EXPECT_EQ(run.date, "20070315");
}

TEST(Rs200Decoder, RunStreamCutShortReadsZerosPastItsEnd) {
    RunValues v;
    v.laps = {NumberedRunLap(1), NumberedRunLap(2)};
    std::vector<std::uint8_t> bytes = BuildRs200Stream(v);
    bytes.resize(60);  // the name, date, times and heart rates, but no zones or laps
    const Decoded cut = Decode(bytes);
    EXPECT_EQ(cut.valid, 1);
    EXPECT_EQ(Line(cut.he, "MaxHR="), "MaxHR=178\r\n");
    EXPECT_EQ(Line(cut.he, "Zone1Upper="), "Zone1Upper=0\r\n");
    EXPECT_EQ(Line(cut.he, "Distance="), "");  // no pace, so no distance data
    EXPECT_EQ(Line(cut.he, "RestHR="), "RestHR=47\r\n");
    EXPECT_TRUE(cut.he.ends_with("[Laps]\r\nNumLaps=0\r\n")) << cut.he;
}

TEST(Rs200Decoder, RunLapsAreStoredLastLapFirstAcrossBlocks) {
    RunValues v;
    for (int n = 1; n <= 30; ++n) v.laps.push_back(NumberedRunLap(n));
    std::vector<std::uint8_t> bytes = BuildRs200Stream(v);
    ASSERT_EQ(bytes[kRsBlockCountAt], 3);  // 128 + 360 data bytes
    // The first record of the area is the last lap.
    bytes[RsDataAt(0, 128 + 3)] = 77;
    const Decoded run = Decode(bytes);
    EXPECT_NE(run.he.find("[Lap30]\r\nAuto=yes\r\nTime=00:30:30.0\r\nMaxHR=140\r\nEndHR=77\r\n"),
              std::string::npos);
    EXPECT_NE(run.he.find("[Lap01]\r\nAuto=no\r\nTime=00:01:01.1\r\nMaxHR=111\r\nEndHR=101\r\n"
                          "AvgHR=91\r\nEndPace=05:00.1\r\nAvgPace=05:10.1\r\nDistance=1.00\r\n"),
              std::string::npos);
    // Lap 23 is the record at area offsets 84-95, split by the end of block 0 at 92.
    EXPECT_NE(run.csv.find("\r\n23\t00:23:23.3\t133\t123\t113\t05:02.3\t05:12.3\t23.00\tno\r\n"),
              std::string::npos);
    // Every lap adds 1.00 to the distance.
    EXPECT_EQ(golden::LineStartingWith(run.hp, "0\t1000\t"), "0\t1000\t0\t0\t0\t0\r\n");
}

TEST(Rs200Decoder, RideLapsRunInLapOrderIntoTheSecondBlock) {
    RideValues v;
    for (int n = 1; n <= 19; ++n) v.laps.push_back(NumberedRideLap(n));
    const std::vector<std::uint8_t> bytes = BuildCs200Stream(v);
    ASSERT_EQ(bytes[kRsBlockCountAt], 2);
    const Decoded ride = Decode(bytes);
    // Lap 7 spans area offsets 72-83: 79 bytes come from block 0, the rest from block 1.
    EXPECT_NE(ride.csv.find("\r\n7\t00:14:07.7\t127\t117\t20.7\t87\t77\t21.0\tno\r\n"),
              std::string::npos);
    EXPECT_NE(ride.csv.find("\r\n19\t00:38:19.9\t139\t129\t21.9\t99\t89\t57.0\tno\r\n"),
              std::string::npos);
    EXPECT_NE(ride.he.find("[Lap19]\r\nAuto=no\r\n"), std::string::npos);
}

TEST(Rs200Decoder, LapsInBlocksThatFailedTheirCheckReadAsZeros) {
    RunValues v;
    for (int n = 1; n <= 30; ++n) v.laps.push_back(NumberedRunLap(n));
    const std::vector<std::uint8_t> whole = BuildRs200Stream(v);

    std::vector<std::uint8_t> misnumbered = whole;
    SetRsBlockFrame(misnumbered, 1, 0x55, 3);
    const Decoded frame = Decode(misnumbered);
    EXPECT_EQ(frame.valid, 1);
    // Laps 30 to 24 lie in block 0, lap 23 starts there; later blocks are not read from
    // elsewhere in the stream.
    EXPECT_NE(frame.he.find("[Lap23]\r\nAuto=no\r\nTime=00:23:23.3\r\n"), std::string::npos);
    EXPECT_NE(frame.he.find("[Lap01]\r\nAuto=no\r\nTime=00:00:00.0\r\nMaxHR=0\r\n"),
              std::string::npos);

    // A block whose frame has arrived counts even when it is not complete: what did arrive of
    // it is used, the rest reads as zeros.
    std::vector<std::uint8_t> cut = whole;
    cut.resize(RsDataAt(1, 100));
    const Decoded partial = Decode(cut);
    EXPECT_NE(partial.he.find("[Lap16]\r\nAuto=no\r\nTime=00:16:16.6\r\n"), std::string::npos);
    EXPECT_NE(partial.he.find("[Lap01]\r\nAuto=no\r\nTime=00:00:00.0\r\n"), std::string::npos);

    // Without a block scan the laps read as zeros too, and the fixed values still show.
    std::vector<std::uint8_t> many = whole;
    SetRsBlockCount(many, 25);
    const Decoded unscanned = Decode(many);
    EXPECT_NE(unscanned.he.find("[Lap30]\r\nAuto=no\r\nTime=00:00:00.0\r\n"), std::string::npos);
    EXPECT_EQ(Line(unscanned.he, "NumLaps="), "NumLaps=30\r\n");
}
