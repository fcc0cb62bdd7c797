// The three texts of RS200 and CS200 transfers, byte for byte, under the value separators a user
// can choose.
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "document/sonic_link_data.h"
#include "support/golden.h"
#include "support/rs200_stream_builder.h"

using namespace testing_streams;

namespace {

RunValues TwoLapRun() {
    RunValues v;
    v.laps = {{{0, 4, 31, 2}, false, 160, 150, 165, 3125, 3200, 150},
              {{0, 9, 2, 7}, true, 170, 158, 172, 2990, 3010, 420}};
    return v;
}

RideValues TwoLapRide() {
    RideValues v;
    v.laps = {{{0, 30, 15, 5}, false, 140, 130, 251, 88, 85, 123},
              {{1, 0, 2, 0}, true, 150, 142, 262, 90, 86, 250}};
    return v;
}

// Decoded as a dump is: the model comes from the stream head.
struct Report {
    explicit Report(const std::vector<std::uint8_t>& bytes) {
        data.m_bytes = ToReceived(bytes);
        EXPECT_EQ(data.DetectModelAndDecode(), 1);
        EXPECT_EQ(data.m_bValid, 1);
    }
    CSonicLinkData data;
};

}  // namespace

TEST(Rs200Report, RunInAllThreeTexts) {
    Report r(BuildRs200Stream(TwoLapRun()));
    const std::string he = golden::CrlfLines({
        "***",
        "*** This is temporary Output for testing RS200/CS200",
        "***",
        "",
        "[Params]",
        "Version=107",
        "Monitor=RS200",
        "Exercise=Run",
        "Date=20070315",
        "StartTime=18:05:30",
        "Length=00:42:17.3",
        "AvgHR=151",
        "MaxHR=178",
        "Calories=612",
        "Distance=8.12",
        "",
        "[TargetZones]",
        "Zone1Below=00:01:02",
        "Zone1InZone=00:30:04",
        "Zone1Above=00:11:11",
        "Zone2Below=00:05:00",
        "Zone2InZone=00:35:00",
        "Zone2Above=00:02:17",
        "Zone3Below=00:40:00",
        "Zone3InZone=00:02:00",
        "Zone3Above=00:00:17",
        "",
        "[SportZones]",
        "Zone1Lower=94",
        "Zone1Upper=112",
        "Zone2Lower=113",
        "Zone2Upper=131",
        "Zone3Lower=132",
        "Zone3Upper=150",
        "Zone4Lower=151",
        "Zone4Upper=169",
        "Zone5Lower=170",
        "Zone5Upper=188",
        "Zone1InZone=00:03:01",
        "Zone2InZone=00:08:02",
        "Zone3InZone=00:14:03",
        "Zone4InZone=00:12:04",
        "Zone5InZone=00:04:05",
        "",
        "[User]",
        "Height=178",
        "Birth=14.06.75",
        "MaxHR=188",
        "MaxVO2=52",
        "RestHR=47",
        "",
        "[Note]",
        "File created with Zendrik, version 1.09 beta 9, zendrik@example.org",
        "",
        "[Laps]",
        "NumLaps=2",
        "BestLapNr=1",
        "BestLapTime=00:04:31.2",
        "MaxPace=04:31.0",
        "AvgPace=05:12.5",
        "",
        "[Lap01]",
        "Auto=no",
        "Time=00:04:31.2",
        "MaxHR=165",
        "EndHR=160",
        "AvgHR=150",
        "EndPace=05:12.5",
        "AvgPace=05:20.0",
        "Distance=1.50",
        "",
        "[Lap02]",
        "Auto=yes",
        "Time=00:09:02.7",
        "MaxHR=172",
        "EndHR=170",
        "AvgHR=158",
        "EndPace=04:59.0",
        "AvgPace=05:01.0",
        "Distance=4.20",
        "",
    });
    EXPECT_SAME_TEXT(he, r.data.m_strHrm);

    // Two empty lines close the parameters: one after the heart rate, one for the user data
    // that the compatible text leaves out.
    const std::string hp = golden::CrlfLines({
        "[Params]",
        "Version=107",
        "Monitor=111",
        "SMode=000000000",
        "Date=20070315",
        "StartTime=18:05:30.0",
        "Length=00:42:17.3",
        "Interval=204",
        "Timer1=00:00",
        "Timer2=00:00",
        "Timer3=00:00",
        "ActiveLimit=0",
        "MaxHR=178",
        "",
        "",
        "[Note]",
        "File created with Zendrik, version 1.09 beta 9, zendrik@example.org",
        "",
        "[HRZones]",
        "",
        "[IntTimes]",
        "00:04:31.2\t150\t0\t165\t0",
        "32\t0\t0\t0\t0\t0",
        "0\t0\t0\t0\t0",
        "0\t1500\t0\t0\t0\t0",
        "0\t0\t0\t0\t0\t0",
        "00:09:02.7\t158\t0\t172\t0",
        "32\t0\t0\t0\t1\t0",
        "0\t0\t0\t0\t0",
        "0\t2700\t0\t0\t0\t0",
        "0\t0\t0\t0\t0\t0",
        "",
        "[HRData]",
        "",
    });
    EXPECT_SAME_TEXT(hp, r.data.m_strHrmCompat);

    const std::string csv = golden::CrlfLines({
        "***",
        "*** This is temporary Output for testing RS200/CS200",
        "***",
        "",
        "[Params]",
        "Version\t107",
        "Monitor\tRS200",
        "Exercise\tRun",
        "Date\t15.03.2007",
        "StartTime\t18:05:30",
        "Length\t00:42:17.3",
        "AvgHR\t151",
        "MaxHR\t178",
        "Calories\t612",
        "Distance\t8.12",
        "",
        "[TargetZones]\tbelow\tin\tabove",
        "1\t00:01:02\t00:30:04\t00:11:11",
        "2\t00:05:00\t00:35:00\t00:02:17",
        "3\t00:40:00\t00:02:00\t00:00:17",
        "",
        "[SportZones]\tLower\tUpper\tInZone",
        "1\t94\t112\t00:03:01",
        "2\t113\t131\t00:08:02",
        "3\t132\t150\t00:14:03",
        "4\t151\t169\t00:12:04",
        "5\t170\t188\t00:04:05",
        "",
        "[User]",
        "Height\t178",
        "Birth\t14.06.75",
        "MaxHR\t188",
        "MaxVO2\t52",
        "RestHR\t47",
        "",
        "[Note]\tFile created with Zendrik, version 1.09 beta 9, zendrik@example.org",
        "",
        "NumLaps\t2",
        "BestLapNr\t1",
        "BestLapTime\t00:04:31.2",
        "MaxPace\t04:31.0",
        "AvgPace\t05:12.5",
        "",
        "[Laps]\tTime\tMaxHR\tEndHR\tAvgHR\tEndPace\tAvgPace\tDistance\tAuto",
        "1\t00:04:31.2\t165\t160\t150\t05:12.5\t05:20.0\t1.50\tno",
        "2\t00:09:02.7\t172\t170\t158\t04:59.0\t05:01.0\t4.20\tyes",
        "",
    });
    EXPECT_SAME_TEXT(csv, r.data.m_strCsv);
    EXPECT_EQ(r.data.m_strDate, "20070315");
}

TEST(Rs200Report, CustomSeparatorsAndNoTenthsChangeOnlyTheCsvText) {
    Report r(BuildRs200Stream(TwoLapRun()));
    const std::string he = r.data.m_strHrm;
    const std::string hp = r.data.m_strHrmCompat;
    r.data.ApplyValueFormat(1, ',', '-', '/');
    const std::string csv = golden::CrlfLines({
        "***",
        "*** This is temporary Output for testing RS200/CS200",
        "***",
        "",
        "[Params]",
        "Version\t107",
        "Monitor\tRS200",
        "Exercise\tRun",
        "Date\t15/03/2007",
        "StartTime\t18-05-30",
        "Length\t00-42-17",
        "AvgHR\t151",
        "MaxHR\t178",
        "Calories\t612",
        "Distance\t8,12",
        "",
        "[TargetZones]\tbelow\tin\tabove",
        "1\t00-01-02\t00-30-04\t00-11-11",
        "2\t00-05-00\t00-35-00\t00-02-17",
        "3\t00-40-00\t00-02-00\t00-00-17",
        "",
        "[SportZones]\tLower\tUpper\tInZone",
        "1\t94\t112\t00-03-01",
        "2\t113\t131\t00-08-02",
        "3\t132\t150\t00-14-03",
        "4\t151\t169\t00-12-04",
        "5\t170\t188\t00-04-05",
        "",
        "[User]",
        "Height\t178",
        "Birth\t14/06/75",
        "MaxHR\t188",
        "MaxVO2\t52",
        "RestHR\t47",
        "",
        "[Note]\tFile created with Zendrik, version 1.09 beta 9, zendrik@example.org",
        "",
        "NumLaps\t2",
        "BestLapNr\t1",
        "BestLapTime\t00-04-31",
        "MaxPace\t04-31",
        "AvgPace\t05-12",
        "",
        "[Laps]\tTime\tMaxHR\tEndHR\tAvgHR\tEndPace\tAvgPace\tDistance\tAuto",
        "1\t00-04-31\t165\t160\t150\t05-12\t05-20\t1,50\tno",
        "2\t00-09-02\t172\t170\t158\t04-59\t05-01\t4,20\tyes",
        "",
    });
    EXPECT_SAME_TEXT(csv, r.data.m_strCsv);
    EXPECT_EQ(r.data.m_strHrm, he);
    EXPECT_EQ(r.data.m_strHrmCompat, hp);

    Report ride(BuildCs200Stream(TwoLapRide()));
    ride.data.ApplyValueFormat(1, ',', '-', '/');
    const std::string& text = ride.data.m_strCsv;
    EXPECT_NE(text.find("Date\t15/09/2007\r\nStartTime\t09-41-07\r\nLength\t01-12-45\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("Time1\t00-10-05\r\n"), std::string::npos);
    EXPECT_NE(text.find("Distance\t31,2\r\nAvgSpeed\t25,6\r\nMaxSpeed\t48,8\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("RideTime\t01-10-03\r\n"), std::string::npos);
    EXPECT_NE(text.find("Birth\t14/06/75\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n1\t00-30-15\t140\t130\t25,1\t88\t85\t12,3\tno\r\n"),
              std::string::npos);
}

TEST(Rs200Report, RideInAllThreeTexts) {
    Report r(BuildCs200Stream(TwoLapRide()));
    // The best lap time of a ride is read where a run keeps it: here from the maximum cadence
    // and the first two bytes of the ride time.
    const std::string he = golden::CrlfLines({
        "***",
        "*** This is temporary Output for testing RS200/CS200",
        "***",
        "",
        "[Params]",
        "Version=107",
        "Monitor=CS200",
        "Date=20070915",
        "StartTime=09:41:07",
        "Length=01:12:45.6",
        "AvgHR=138",
        "MaxHR=171",
        "LowerLimit1=120",
        "UpperLimit1=160",
        "Time1=00:10:05",
        "Time2=00:55:30",
        "Time3=00:07:10",
        "Calories=987",
        "Distance=31.2",
        "AvgSpeed=25.6",
        "MaxSpeed=48.8",
        "AvgCadence=84",
        "MaxCadence=112",
        "RideTime=01:10:03.4",
        "",
        "[User]",
        "Height=178",
        "Birth=14.06.75",
        "MaxHR=188",
        "MaxVO2=52",
        "RestHR=47",
        "",
        "[Note]",
        "File created with Zendrik, version 1.09 beta 9, zendrik@example.org",
        "",
        "[Laps]",
        "NumLaps=2",
        "BestLapNr=1",
        "BestLapTime=03:00:48.5",
        "",
        "[Lap01]",
        "Auto=no",
        "Time=00:30:15.5",
        "EndHR=140",
        "AvgHR=130",
        "EndSpeed=25.1",
        "EndCadence=88",
        "AvgCadence=85",
        "Distance=12.30",
        "",
        "[Lap02]",
        "Auto=yes",
        "Time=01:00:02.0",
        "EndHR=150",
        "AvgHR=142",
        "EndSpeed=26.2",
        "EndCadence=90",
        "AvgCadence=86",
        "Distance=25.00",
        "",
    });
    EXPECT_SAME_TEXT(he, r.data.m_strHrm);

    const std::string hp = golden::CrlfLines({
        "[Params]",
        "Version=107",
        "Monitor=112",
        "SMode=110000100",
        "Date=20070915",
        "StartTime=09:41:07.0",
        "Length=01:12:45.6",
        "Interval=204",
        "Timer1=00:00",
        "Timer2=00:00",
        "Timer3=00:00",
        "ActiveLimit=0",
        "Upper1=160",
        "Lower1=120",
        "MaxHR=188",
        "RestHR=47",
        "VO2max=52",
        "",
        "[Note]",
        "File created with Zendrik, version 1.09 beta 9, zendrik@example.org",
        "",
        "[HRZones]",
        "",
        "[IntTimes]",
        "00:30:15.5\t140\t0\t130\t0",
        "32\t0\t0\t251\t85\t0",
        "0\t0\t0\t0\t0",
        "0\t12300\t0\t0\t0\t0",
        "0\t0\t0\t0\t0\t0",
        "01:00:02.0\t150\t0\t142\t0",
        "32\t0\t0\t262\t86\t0",
        "0\t0\t0\t0\t0",
        "0\t12700\t0\t0\t0\t0",
        "0\t0\t0\t0\t0\t0",
        "",
        "[Trip]",
        "312",
        "0",
        "4203",
        "0",
        "0",
        "256",
        "488",
        "0",
        "",
        "[HRData]",
        "",
    });
    EXPECT_SAME_TEXT(hp, r.data.m_strHrmCompat);

    const std::string csv = golden::CrlfLines({
        "***",
        "*** This is temporary Output for testing RS200/CS200",
        "***",
        "",
        "[Params]",
        "Version\t107",
        "Monitor\tCS200",
        "Date\t15.09.2007",
        "StartTime\t09:41:07",
        "Length\t01:12:45.6",
        "AvgHR\t138",
        "MaxHR\t171",
        "LowerLimit1\t120",
        "UpperLimit1\t160",
        "Time1\t00:10:05",
        "Time2\t00:55:30",
        "Time3\t00:07:10",
        "Calories\t987",
        "Distance\t31.2",
        "AvgSpeed\t25.6",
        "MaxSpeed\t48.8",
        "AvgCadence\t84",
        "MaxCadence\t112",
        "RideTime\t01:10:03.4",
        "",
        "[User]",
        "Height\t178",
        "Birth\t14.06.75",
        "MaxHR\t188",
        "MaxVO2\t52",
        "RestHR\t47",
        "",
        "[Note]\tFile created with Zendrik, version 1.09 beta 9, zendrik@example.org",
        "",
        "NumLaps\t2",
        "BestLapNr\t1",
        "BestLapTime\t03:00:48.5",
        "",
        "[Laps]\tTime\tEndHR\tAvgHR\tEndSpeed\tEndCadence\tAvgCadence\tDistance\tAuto",
        "1\t00:30:15.5\t140\t130\t25.1\t88\t85\t12.3\tno",
        "2\t01:00:02.0\t150\t142\t26.2\t90\t86\t25.0\tyes",
        "",
    });
    EXPECT_SAME_TEXT(csv, r.data.m_strCsv);
    EXPECT_EQ(r.data.m_strDate, "20070915");
}

TEST(Rs200Report, WithoutLapsOrDistanceTheTextsEndEarly) {
    RunValues run;
    run.maxPace = 0;
    Report r(BuildRs200Stream(run));
    EXPECT_NE(r.data.m_strHrm.find("Calories=612\r\n\r\n[TargetZones]"), std::string::npos);
    EXPECT_NE(r.data.m_strCsv.find("Calories\t612\r\n\r\n[TargetZones]"), std::string::npos);
    EXPECT_TRUE(r.data.m_strHrm.ends_with("\r\n\r\n[Laps]\r\nNumLaps=0\r\n"));
    EXPECT_TRUE(r.data.m_strCsv.ends_with(".org\r\n\r\nNumLaps\t0\r\n"));
    EXPECT_TRUE(r.data.m_strHrmCompat.ends_with("[IntTimes]\r\n[HRData]\r\n\r\n"));

    // Laps without distance data: no pace lines either.
    run.laps = {{{0, 4, 31, 2}, false, 160, 150, 165, 0, 0, 0}};
    Report noPace(BuildRs200Stream(run));
    EXPECT_NE(noPace.data.m_strHrm.find("BestLapTime=00:04:31.2\r\n\r\n[Lap01]"),
              std::string::npos);
    EXPECT_EQ(noPace.data.m_strCsv.find("MaxPace"), std::string::npos);
    EXPECT_EQ(noPace.data.m_strCsv.find("\r\nAvgPace"), std::string::npos);

    // A maximum pace of 25.6 seconds is enough to count as distance data.
    run.maxPace = 256;
    Report slow(BuildRs200Stream(run));
    EXPECT_NE(slow.data.m_strHrm.find("Distance=8.12\r\n"), std::string::npos);
    EXPECT_NE(slow.data.m_strHrm.find("MaxPace=00:25.6\r\nAvgPace=05:12.5\r\n\r\n"),
              std::string::npos);

    Report ride(BuildCs200Stream(RideValues{}));
    EXPECT_TRUE(ride.data.m_strHrm.ends_with("[Laps]\r\nNumLaps=0\r\n"));
    EXPECT_EQ(ride.data.m_strCsv.find("[Laps]"), std::string::npos);
    EXPECT_NE(ride.data.m_strHrmCompat.find("[IntTimes]\r\n[Trip]\r\n312\r\n0\r\n4203\r\n"),
              std::string::npos);
}

TEST(Rs200Report, BcdDigitsShowAsTheyStandWherePrintedDigitForDigit) {
    RideValues v;
    std::vector<std::uint8_t> bytes = BuildCs200Stream(v);
    bytes[RsDataAt(0, 147 - 16)] = 0x5A;  // start seconds
    bytes[RsDataAt(0, 114 - 16)] = 0xC0;  // length tenths
    bytes[RsDataAt(0, 117 - 16)] = 0x1A;  // length hours
    Report r(bytes);
    EXPECT_EQ(golden::LineStartingWith(r.data.m_strHrm, "StartTime="), "StartTime=09:41:5a\r\n");
    EXPECT_EQ(golden::LineStartingWith(r.data.m_strHrmCompat, "Length="),
              "Length=1a:12:45.c\r\n");
    EXPECT_EQ(golden::LineStartingWith(r.data.m_strCsv, "Length"), "Length\t20:12:45.12\r\n");
}

TEST(Rs200Report, NumbersIgnoreTheCLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "nl_NL.UTF-8"}) {
        if (std::setlocale(LC_ALL, name)) {
            comma = name;
            break;
        }
    }
    if (!comma) {
        // None installed: compile a German one of our own, if the locale sources are there.
        const std::string dir = TempPath("locales");
        std::filesystem::create_directories(dir);
        const std::string command = "localedef -i de_DE -f UTF-8 " + dir + "/de_DE.UTF-8 >/dev/null 2>&1";
        if (std::system(command.c_str()) != -1) {
            setenv("LOCPATH", dir.c_str(), 1);
            if (std::setlocale(LC_ALL, "de_DE.UTF-8")) comma = "de_DE.UTF-8 (compiled)";
        }
    }
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma is available";
    Report ride(BuildCs200Stream(TwoLapRide()));
    Report run(BuildRs200Stream(TwoLapRun()));
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_NE(ride.data.m_strHrm.find("Distance=12.30\r\n"), std::string::npos) << comma;
    EXPECT_NE(run.data.m_strHrm.find("Distance=8.12\r\n"), std::string::npos);
}
