// Whole S410/S510 reports, byte for byte: the expected texts below are the reports as a user
// sees them, line by line.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "document/sonic_link_data.h"
#include "support/golden.h"
#include "support/s410_stream_builder.h"

namespace {

using golden::CrlfLines;
using golden::LineStartingWith;
using namespace testing_streams;

std::vector<Summary> EarlierExercises() {
    Summary easy;
    easy.name = "Easy";
    easy.start = {18, 5, 0, 0};
    easy.date = {2006, 3, 4};
    easy.length = {0, 30, 0, 0};
    easy.avgHr = 120;
    easy.maxHr = 150;

    Summary basic;
    basic.named = false;
    basic.name = "Ignored";
    basic.start = {6, 0, 59, 0};
    basic.date = {2006, 2, 28};
    basic.length = {1, 2, 3, 4};
    basic.avgHr = 140;
    basic.maxHr = 180;

    Summary tempo;
    tempo.name = "Tempo-3";
    tempo.start = {12, 0, 0, 0};
    tempo.date = {1999, 12, 31};
    tempo.length = {2, 0, 0, 9};
    tempo.avgHr = 150;
    tempo.maxHr = 190;

    Summary hill;
    hill.name = "Hill(2)";
    hill.start = {23, 59, 59, 0};
    hill.date = {2005, 10, 1};
    hill.length = {0, 0, 5, 0};
    hill.avgHr = 90;
    hill.maxHr = 100;

    Summary odd;
    odd.name = "a/b%";
    odd.start = {0, 0, 0, 0};
    odd.date = {1990, 1, 1};
    odd.length = {0, 10, 10, 1};
    odd.avgHr = 0;
    odd.maxHr = 0;
    return {easy, basic, tempo, hill, odd};
}

S410Values RunOnS410() {
    S410Values v;
    v.current.name = "Run 5k";
    v.current.start = {7, 30, 15, 0};
    v.current.date = {2006, 3, 5};
    v.current.length = {0, 1, 58, 7};
    v.current.avgHr = 132;
    v.current.maxHr = 171;
    v.lower[0] = 100, v.upper[0] = 120;
    v.lower[1] = 120, v.upper[1] = 140;
    v.lower[2] = 140, v.upper[2] = 160;
    v.calories = 12345;
    v.totalCalories = 123456;
    v.totalHours = 1234;
    v.totalMinutes = 56;
    v.hr = {95, 100, 119, 120, 139, 140, 160, 150};
    v.laps = {{{0, 0, 45, 3}, 118, 110, 125, 0}, {{0, 1, 58, 7}, 115, 135, 160, 0}};
    v.earlier = EarlierExercises();
    return v;
}

S410Values RideOnS510() {
    S410Values v;
    v.s510 = true;
    v.flags = 0x35;  // speed, cadence, cycling
    v.current.name = "Bike";
    v.current.start = {9, 0, 0, 0};
    v.current.date = {2006, 7, 14};
    v.current.length = {0, 3, 0, 2};
    v.current.avgHr = 140;
    v.current.maxHr = 171;
    v.lower[0] = 110, v.upper[0] = 130;
    v.lower[1] = 130, v.upper[1] = 150;
    v.lower[2] = 150, v.upper[2] = 170;
    v.calories = 9;
    v.totalCalories = 123456;
    v.totalHours = 7;
    v.totalMinutes = 5;
    v.totalDistance = 4321;
    v.distance = 256;
    v.hr = {105, 110, 129, 130, 150, 171};
    v.speed = {0, 10, 20, 51, 40, 30};
    v.cadence = {0, 80, 85, 90, 255, 88};
    v.laps = {{{0, 1, 15, 6}, 128, 120, 135, 12}, {{0, 3, 0, 2}, 160, 145, 171, 300}};
    v.earlier = EarlierExercises();
    return v;
}

// The expected texts keep one report line per source line.
// clang-format off

// The sections between the parameters and the laps, the same in every S410/S510 report.
const std::string kCoachAndNote = CrlfLines({
    "[Coach]",
    "000000",
    "0\t0",
    "0\t0",
    "0\t0\t0",
    "0\t0\t0",
    "0\t0\t0",
    "0\t0",
    "",
    "[Note]",
    "File created with Zendrik, version 1.09 beta 9, zendrik@example.org",
    "",
});

const std::string kEmptySectionsAfterZones = CrlfLines({
    "[Summary-TH]",
    "",
    "[HRZones]",
    "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
    "",
    "[SwapTimes]",
    "",
});

const std::string kEarlierSections = CrlfLines({
    "",
    "[File1]",
    "Date=20060304",
    "StartTime=18:05:00.0",
    "Length=00:30:00.0",
    "AvgHR=120",
    "MaxHR=150",
    "Exercise=Easy",
    "",
    "[File2]",
    "Date=20060228",
    "StartTime=06:00:59.0",
    "Length=01:02:03.4",
    "AvgHR=140",
    "MaxHR=180",
    "Exercise=BasicUse",
    "",
    "[File3]",
    "Date=19991231",
    "StartTime=12:00:00.0",
    "Length=02:00:00.9",
    "AvgHR=150",
    "MaxHR=190",
    "Exercise=Tempo-3",
    "",
    "[File4]",
    "Date=20051001",
    "StartTime=23:59:59.0",
    "Length=00:00:05.0",
    "AvgHR=90",
    "MaxHR=100",
    "Exercise=Hill(2)",
    "",
    "[File5]",
    "Date=19900101",
    "StartTime=00:00:00.0",
    "Length=00:10:10.1",
    "AvgHR=0",
    "MaxHR=0",
    "Exercise=a/b%",
});

const std::string kS410Hrm =
    CrlfLines({
        "[Params]",
        "Version=106",
        "Monitor=9",
        "SMode=000000000",
        "Date=20060305",
        "StartTime=07:30:15.0",
        "Length=00:01:58.7",
        "Interval=15",
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
        "Exercise=Run 5k",
        "Calories=1234.5",
        "TotalCalories=123456",
        "TotalTime=1234:56:00",
        "",
    }) +
    kCoachAndNote +
    CrlfLines({
        "[IntTimes]",
        "00:00:45.3\t118\t95\t110\t125",
        "0\t0\t0\t0\t0\t0",
        "0\t0\t0\t0\t0",
        "0\t0\t0\t0\t0\t0",
        "0\t0\t0\t0\t0\t0",
        "00:01:58.7\t115\t115\t135\t160",
        "0\t0\t0\t0\t0\t0",
        "0\t0\t0\t0\t0",
        "0\t0\t0\t0\t0\t0",
        "0\t0\t0\t0\t0\t0",
        "",
        "[IntNotes]",
        "",
        "[ExtraData]",
        "",
        "[Summary-123]",
        "120\t0\t75\t30\t15\t0",
        "0\t0\t0\t0",
        "120\t0\t45\t30\t45\t0",
        "0\t0\t0\t0",
        "120\t0\t15\t30\t75\t0",
        "0\t0\t0\t0",
        "0\t8",
        "",
    }) +
    kEmptySectionsAfterZones +
    CrlfLines({
        "[HRData]",
        "95",
        "100",
        "119",
        "120",
        "139",
        "140",
        "160",
        "150",
    }) +
    kEarlierSections +
    CrlfLines({
        "",
        "[File6]",
        "Date=20060305",
        "StartTime=07:30:15.0",
        "Length=00:01:58.7",
        "AvgHR=132",
        "MaxHR=171",
        "Exercise=Run 5k",
    });

const std::string kS410Csv = CrlfLines({
    "[Params]",
    "Version\t106",
    "Monitor\t9",
    "SMode\t000000000",
    "Date\t05.03.2006",
    "StartTime\t07:30:15.0",
    "Length\t00:01:58.7",
    "Interval\t15",
    "Upper1\t120",
    "Lower1\t100",
    "Upper2\t140",
    "Lower2\t120",
    "Upper3\t160",
    "Lower3\t140",
    "Exercise\tRun 5k",
    "Calories\t1234.5",
    "TotalCalories\t123456",
    "TotalTime\t1234:56:00",
    "",
    "[Note]\tFile created with Zendrik, version 1.09 beta 9, zendrik@example.org",
    "",
    "[Laps]\tTime\tEndHR\tMinHR\tAvgHR\tMaxHR",
    "1\t00:00:45.3\t118\t95\t110\t125",
    "2\t00:01:58.7\t115\t115\t135\t160",
    "",
    "[HRData]\t95\t100\t119\t120\t139\t140\t160\t150",
    "",
});

const std::string kS510Hrm =
    CrlfLines({
        "[Params]",
        "Version=106",
        "Monitor=10",
        "SMode=110000100",
        "Date=20060714",
        "StartTime=09:00:00.0",
        "Length=00:03:00.2",
        "Interval=30",
        "Upper1=130",
        "Lower1=110",
        "Upper2=150",
        "Lower2=130",
        "Upper3=170",
        "Lower3=150",
        "Timer1=00:00:00.0",
        "Timer2=00:00:00.0",
        "Timer3=00:00:00.0",
        "ActiveLimit=0",
        "Exercise=Bike",
        "Calories=0.9",
        "TotalCalories=123456",
        "TotalTime=07:05:00",
        "TotalDistance=4321",
        "Distance=25.6",
        "",
    }) +
    kCoachAndNote +
    CrlfLines({
        "[IntTimes]",
        "00:01:15.6\t128\t105\t120\t135",
        "0\t0\t0\t0\t0\t0",
        "0\t0\t0\t0\t0",
        "0\t1200\t0\t0\t0\t0",
        "0\t0\t0\t0\t0\t0",
        "00:03:00.2\t160\t129\t145\t171",
        "0\t0\t0\t0\t0\t0",
        "0\t0\t0\t0\t0",
        "0\t30000\t0\t0\t0\t0",
        "0\t0\t0\t0\t0\t0",
        "",
        "[IntNotes]",
        "",
        "[ExtraData]",
        "",
        "[Summary-123]",
        "180\t0\t90\t60\t30\t0",
        "0\t0\t0\t0",
        "180\t0\t60\t30\t90\t0",
        "0\t0\t0\t0",
        "180\t0\t30\t30\t120\t0",
        "0\t0\t0\t0",
        "0\t6",
        "",
    }) +
    kEmptySectionsAfterZones +
    CrlfLines({
        "[HRData]",
        "105\t0\t0",
        "110\t50\t80",
        "129\t100\t85",
        "130\t255\t90",
        "150\t200\t255",
        "171\t150\t88",
    }) +
    kEarlierSections +
    CrlfLines({
        "",
        "[File6]",
        "Date=20060714",
        "StartTime=09:00:00.0",
        "Length=00:03:00.2",
        "AvgHR=140",
        "MaxHR=171",
        "Exercise=Bike",
    });

const std::string kS510Csv = CrlfLines({
    "[Params]",
    "Version\t106",
    "Monitor\t10",
    "SMode\t110000100",
    "Date\t14.07.2006",
    "StartTime\t09:00:00.0",
    "Length\t00:03:00.2",
    "Interval\t30",
    "Upper1\t130",
    "Lower1\t110",
    "Upper2\t150",
    "Lower2\t130",
    "Upper3\t170",
    "Lower3\t150",
    "Exercise\tBike",
    "Calories\t0.9",
    "TotalCalories\t123456",
    "TotalTime\t07:05:00",
    "TotalDistance\t4321",
    "Distance\t25.6",
    "",
    "[Note]\tFile created with Zendrik, version 1.09 beta 9, zendrik@example.org",
    "",
    "[Laps]\tTime\tEndHR\tMinHR\tAvgHR\tMaxHR\tDistance",
    "1\t00:01:15.6\t128\t105\t120\t135\t1200",
    "2\t00:03:00.2\t160\t129\t145\t171\t30000",
    "",
    "[HRData]\t105\t110\t129\t130\t150\t171",
    "[Speed]\t0\t50\t100\t255\t200\t150",
    "[Cadence]\t0\t80\t85\t90\t255\t88",
    "",
});

// The S510 report's CSV text with the separators ',' (decimal), '-' (time) and '/' (date).
const std::string kS510CsvCustom = CrlfLines({
    "[Params]",
    "Version\t106",
    "Monitor\t10",
    "SMode\t110000100",
    "Date\t14/07/2006",
    "StartTime\t09-00-00,0",
    "Length\t00-03-00,2",
    "Interval\t30",
    "Upper1\t130",
    "Lower1\t110",
    "Upper2\t150",
    "Lower2\t130",
    "Upper3\t170",
    "Lower3\t150",
    "Exercise\tBike",
    "Calories\t0,9",
    "TotalCalories\t123456",
    "TotalTime\t07-05-00",
    "TotalDistance\t4321",
    "Distance\t25,6",
    "",
    "[Note]\tFile created with Zendrik, version 1.09 beta 9, zendrik@example.org",
    "",
    "[Laps]\tTime\tEndHR\tMinHR\tAvgHR\tMaxHR\tDistance",
    "1\t00-01-15,6\t128\t105\t120\t135\t1200",
    "2\t00-03-00,2\t160\t129\t145\t171\t30000",
    "",
    "[HRData]\t105\t110\t129\t130\t150\t171",
    "[Speed]\t0\t50\t100\t255\t200\t150",
    "[Cadence]\t0\t80\t85\t90\t255\t88",
    "",
});

// clang-format on

void Receive(CSonicLinkData& data, const S410Values& values) {
    data.m_bytes = ToReceived(BuildS410Stream(values).bytes);
}

}  // namespace

TEST(S410Report, S410TransferWithLapsAndEarlierExercises) {
    CSonicLinkData data;
    Receive(data, RunOnS410());
    data.m_nWatchModel = 1;
    data.DecodeExercises();
    ASSERT_EQ(data.m_bValid, 1) << data.m_strHrm;
    EXPECT_SAME_TEXT(kS410Hrm, data.m_strHrm);
    EXPECT_SAME_TEXT(kS410Csv, data.m_strCsv);
    EXPECT_EQ(data.m_strHrmCompat, "");
    EXPECT_EQ(data.m_strDate, "20060305");
}

TEST(S410Report, S510TransferWithSpeedCadenceAndCycling) {
    CSonicLinkData data;
    Receive(data, RideOnS510());
    data.m_nWatchModel = 3;
    data.DecodeExercises();
    ASSERT_EQ(data.m_bValid, 1) << data.m_strHrm;
    EXPECT_SAME_TEXT(kS510Hrm, data.m_strHrm);
    EXPECT_SAME_TEXT(kS510Csv, data.m_strCsv);
}

TEST(S410Report, TheStreamNotTheChosenModelSelectsTheS510Report) {
    CSonicLinkData data;
    Receive(data, RideOnS510());
    data.m_nWatchModel = 1;
    data.DecodeExercises();
    EXPECT_SAME_TEXT(kS510Hrm, data.m_strHrm);
}

TEST(S410Report, CsvFollowsTheValueFormatWhileTheHrmTextStaysFixed) {
    CSonicLinkData data;
    Receive(data, RideOnS510());
    data.m_nWatchModel = 1;  // the user's choice; re-rendering takes the model from the stream
    data.DecodeExercises();

    data.ApplyValueFormat(0, ',', '-', '/');
    EXPECT_SAME_TEXT(kS510CsvCustom, data.m_strCsv);
    EXPECT_SAME_TEXT(kS510Hrm, data.m_strHrm);
    EXPECT_EQ(data.m_nWatchModel, 1);
    EXPECT_EQ(data.m_strDate, "20060714");

    // Without tenths every CSV time loses them; decimal values keep theirs.
    data.ApplyValueFormat(1, ',', '-', '/');
    const std::string& csv = data.m_strCsv;
    EXPECT_EQ(LineStartingWith(csv, "StartTime"), "StartTime\t09-00-00\r\n");
    EXPECT_EQ(LineStartingWith(csv, "Length"), "Length\t00-03-00\r\n");
    EXPECT_EQ(LineStartingWith(csv, "TotalTime"), "TotalTime\t07-05-00\r\n");
    EXPECT_EQ(LineStartingWith(csv, "1\t"), "1\t00-01-15\t128\t105\t120\t135\t1200\r\n");
    EXPECT_EQ(LineStartingWith(csv, "2\t"), "2\t00-03-00\t160\t129\t145\t171\t30000\r\n");
    EXPECT_EQ(LineStartingWith(csv, "Calories"), "Calories\t0,9\r\n");
    EXPECT_EQ(LineStartingWith(csv, "Distance"), "Distance\t25,6\r\n");
    EXPECT_SAME_TEXT(kS510Hrm, data.m_strHrm);

    // Back to the HRM separators gives the first rendering again.
    data.ApplyValueFormat(0, '.', ':', '.');
    EXPECT_SAME_TEXT(kS510Csv, data.m_strCsv);
}

TEST(S410Report, SameValueFormatTwiceRendersOnce) {
    CSonicLinkData data;
    Receive(data, RunOnS410());
    data.ApplyValueFormat(0, ',', '-', '/');
    EXPECT_EQ(LineStartingWith(data.m_strCsv, "Date"), "Date\t05/03/2006\r\n");

    // A second call with the same choices must leave the texts alone.
    data.m_strCsv = "marker";
    data.ApplyValueFormat(0, ',', '-', '/');
    EXPECT_EQ(data.m_strCsv, "marker");
}

TEST(S410Report, S410CsvWithoutTenths) {
    CSonicLinkData data;
    Receive(data, RunOnS410());
    data.ApplyValueFormat(1, '.', ':', '.');
    const std::string& csv = data.m_strCsv;
    EXPECT_EQ(LineStartingWith(csv, "StartTime"), "StartTime\t07:30:15\r\n");
    EXPECT_EQ(LineStartingWith(csv, "Length"), "Length\t00:01:58\r\n");  // .7 dropped, not rounded
    EXPECT_EQ(LineStartingWith(csv, "1\t"), "1\t00:00:45\t118\t95\t110\t125\r\n");
    EXPECT_EQ(LineStartingWith(csv, "Calories"), "Calories\t1234.5\r\n");
    EXPECT_SAME_TEXT(kS410Hrm, data.m_strHrm);
}
