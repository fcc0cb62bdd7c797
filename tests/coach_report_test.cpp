// The Coach report texts byte for byte, under each way of writing CSV values.
#include <string>

#include <gtest/gtest.h>

#include "document/sonic_link_data.h"
#include "support/coach_stream_builder.h"
#include "support/golden.h"

namespace {

using golden::CrlfLines;
using namespace testing_streams;

// Thirteen samples at 30 s, so the last one sits alone in the second sample block, and two laps.
CoachValues Intervals() {
    CoachValues v;
    v.month = 3;
    v.day = 5;
    v.start = {7, 30, 15, 0};
    v.coach[0] = 12;
    v.coach[1] = 34;
    v.hr = {110, 115, 118, 121, 125, 130, 135, 138, 142, 145, 150, 155, 158};
    v.laps = {{{0, 3, 0, 5}, 128, 117, 131, 0}, {{0, 6, 30, 0}, 130, 146, 159, 0}};
    v.secondLapCount = 1;
    return v;
}

struct Decoded {
    CSonicLinkData data;
    explicit Decoded(const CoachValues& values) {
        data.m_utcToday = [] { return CDateValue{2024, 6, 15}; };
        data.m_bytes = ToReceived(BuildCoachStream(values).bytes);
        data.DecodeCoach();
    }
};

const std::string kHrm = CrlfLines({
    "[Params]",
    "Version=106",
    "Monitor=7",
    "SMode=000000000",
    "Date=20240305",
    "StartTime=07:30:15.0",
    "Length=00:06:30.0",
    "Interval=30",
    "Upper1=120",
    "Lower1=100",
    "Upper2=140",
    "Lower2=120",
    "Upper3=160",
    "Lower3=140",
    "Timer1=00:00:00.0",
    "Timer2=00:00:00.0",
    "Timer3=00:00:00.0",
    "ActiveLimit=0",
    "",
    "[Coach]",
    "000000",
    "0\t0",
    "0\t0",
    "0\t0\t0",
    "0\t0\t0",
    "0\t0\t0",
    "12\t34",
    "",
    "[Note]",
    "File created with Zendrik, version 1.09 beta 9, zendrik@example.org",
    "",
    "[IntTimes]",
    "00:03:00.5\t128\t110\t117\t131",
    "32\t0\t0\t0\t0\t0",
    "0\t0\t0\t0\t0",
    "0\t0\t0\t0\t0\t0",
    "0\t0\t0\t0\t0\t0",
    "00:06:30.0\t130\t135\t146\t159",
    "32\t0\t0\t0\t0\t0",
    "0\t0\t0\t0\t0",
    "0\t0\t0\t0\t0\t0",
    "0\t0\t0\t0\t0\t0",
    "",
    "[IntNotes]",
    "",
    "[ExtraData]",
    "",
    "[Summary-123]",
    "390\t0\t300\t90\t0\t0",
    "0\t0\t0\t0",
    "390\t0\t150\t150\t90\t0",
    "0\t0\t0\t0",
    "390\t0\t0\t150\t240\t0",
    "0\t0\t0\t0",
    "0\t13",
    "",
    "[Summary-TH]",
    "",
    "[HRZones]",
    "0",
    "0",
    "0",
    "0",
    "0",
    "0",
    "0",
    "0",
    "0",
    "0",
    "0",
    "",
    "[SwapTimes]",
    "",
    "[HRData]",
    "110",
    "115",
    "118",
    "121",
    "125",
    "130",
    "135",
    "138",
    "142",
    "145",
    "150",
    "155",
    "158",
    "",
});

// The CSV text with the given date, start, length and lap time fields.
std::string Csv(const std::string& date, const std::string& start, const std::string& length,
                const std::string& lap1, const std::string& lap2) {
    return CrlfLines({
        "[Params]",
        "Version\t106",
        "Monitor\t7",
        "Date\t" + date,
        "StartTime\t" + start,
        "Length\t" + length,
        "Interval\t30",
        "Upper1\t120",
        "Lower1\t100",
        "Upper2\t140",
        "Lower2\t120",
        "Upper3\t160",
        "Lower3\t140",
        "",
        "[Note]\tFile created with Zendrik, version 1.09 beta 9, zendrik@example.org",
        "",
        "[Laps]\tTime\tEndHR\tMinHR\tAvgHR\tMaxHR",
        "1\t" + lap1 + "\t128\t110\t117\t131",
        "2\t" + lap2 + "\t130\t135\t146\t159",
        "",
        "[HRData]\t110\t115\t118\t121\t125\t130\t135\t138\t142\t145\t150\t155\t158",
        "",
    });
}

}  // namespace

TEST(CoachReport, HrmAndCsvTextsWithHrmFormatting) {
    Decoded run(Intervals());
    EXPECT_EQ(run.data.m_bValid, 1);
    EXPECT_EQ(run.data.m_strDate, "20240305");
    EXPECT_SAME_TEXT(kHrm, run.data.m_strHrm);
    EXPECT_SAME_TEXT(Csv("05.03.2024", "07:30:15.0", "00:06:30.0", "00:03:00.5", "00:06:30.0"),
                     run.data.m_strCsv);
    EXPECT_EQ(run.data.m_strHrmCompat, "");
}

TEST(CoachReport, CustomSeparatorsChangeOnlyTheCsvValues) {
    Decoded run(Intervals());
    run.data.ApplyValueFormat(0, ',', '-', '/');
    EXPECT_SAME_TEXT(Csv("05/03/2024", "07-30-15,0", "00-06-30,0", "00-03-00,5", "00-06-30,0"),
                     run.data.m_strCsv);
    EXPECT_SAME_TEXT(kHrm, run.data.m_strHrm);
}

TEST(CoachReport, NoTenthsDropsThemFromEveryCsvTime) {
    Decoded run(Intervals());
    run.data.ApplyValueFormat(1, '.', ':', '.');
    EXPECT_SAME_TEXT(Csv("05.03.2024", "07:30:15", "00:06:30", "00:03:00", "00:06:30"),
                     run.data.m_strCsv);
    run.data.ApplyValueFormat(1, ',', '.', '-');
    EXPECT_SAME_TEXT(Csv("05-03-2024", "07.30.15", "00.06.30", "00.03.00", "00.06.30"),
                     run.data.m_strCsv);
    EXPECT_SAME_TEXT(kHrm, run.data.m_strHrm);
}

TEST(CoachReport, EmptyExerciseKeepsEverySection) {
    CoachValues v;
    v.coach[0] = 0;
    v.coach[1] = 7;
    Decoded run(v);
    EXPECT_EQ(run.data.m_bValid, 1);
    const std::string& hrm = run.data.m_strHrm;
    EXPECT_NE(hrm.find("Length=00:00:00.0\r\nInterval=30\r\n"), std::string::npos);
    EXPECT_NE(hrm.find("0\t0\t0\r\n0\t7\r\n\r\n[Note]\r\n"), std::string::npos);
    EXPECT_NE(hrm.find("[IntTimes]\r\n\r\n[IntNotes]\r\n"), std::string::npos);
    EXPECT_NE(hrm.find("[Summary-123]\r\n0\t0\t0\t0\t0\t0\r\n0\t0\t0\t0\r\n"), std::string::npos);
    // The text ends with an empty [HRData] section and its closing empty line.
    EXPECT_TRUE(hrm.ends_with("[SwapTimes]\r\n\r\n[HRData]\r\n\r\n")) << hrm;
    const std::string& csv = run.data.m_strCsv;
    EXPECT_TRUE(csv.ends_with("[Laps]\tTime\tEndHR\tMinHR\tAvgHR\tMaxHR\r\n\r\n[HRData]\r\n\r\n"))
        << csv;
}
