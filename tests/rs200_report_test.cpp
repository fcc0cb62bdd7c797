// The three texts of RS200 and CS200 transfers, byte for byte (the golden files rs200-run.* and
// cs200-ride.*), under the value separators a user can choose.
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "document/document.h"
#include "support/golden.h"
#include "support/rs200_stream_builder.h"

using namespace zendrik;

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
        EXPECT_EQ(data.DecodeBytes(ToReceived(bytes), ModelBy::StreamHead), 1);
        EXPECT_EQ(data.Valid(), 1);
    }
    Document data;
};

}  // namespace

TEST(Rs200Report, RunInAllThreeTexts) {
    Report r(BuildRs200Stream(TwoLapRun()));
    EXPECT_GOLDEN("rs200-run.hrm", r.data.Hrm());
    // Two empty lines close the parameters: one after the heart rate, one for the user data
    // that the compatible text leaves out.
    EXPECT_GOLDEN("rs200-run-compat.hrm", r.data.HrmCompat());
    EXPECT_GOLDEN("rs200-run.csv", r.data.Csv());
    EXPECT_EQ(r.data.Date(), "20070315");
}

TEST(Rs200Report, CustomSeparatorsAndNoTenthsChangeOnlyTheCsvText) {
    Report r(BuildRs200Stream(TwoLapRun()));
    const std::string he = r.data.Hrm();
    const std::string hp = r.data.HrmCompat();
    r.data.SetValueFormat(MakeValueFormat(1, ',', '-', '/'));
    EXPECT_GOLDEN("rs200-run-custom.csv", r.data.Csv());
    EXPECT_EQ(r.data.Hrm(), he);
    EXPECT_EQ(r.data.HrmCompat(), hp);

    Report ride(BuildCs200Stream(TwoLapRide()));
    ride.data.SetValueFormat(MakeValueFormat(1, ',', '-', '/'));
    const std::string& text = ride.data.Csv();
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
    EXPECT_GOLDEN("cs200-ride.hrm", r.data.Hrm());
    EXPECT_GOLDEN("cs200-ride-compat.hrm", r.data.HrmCompat());
    EXPECT_GOLDEN("cs200-ride.csv", r.data.Csv());
    EXPECT_EQ(r.data.Date(), "20070915");
}

TEST(Rs200Report, WithoutLapsOrDistanceTheTextsEndEarly) {
    RunValues run;
    run.maxPace = 0;
    Report r(BuildRs200Stream(run));
    EXPECT_NE(r.data.Hrm().find("Calories=612\r\n\r\n[TargetZones]"), std::string::npos);
    EXPECT_NE(r.data.Csv().find("Calories\t612\r\n\r\n[TargetZones]"), std::string::npos);
    EXPECT_TRUE(r.data.Hrm().ends_with("\r\n\r\n[Laps]\r\nNumLaps=0\r\n"));
    EXPECT_TRUE(r.data.Csv().ends_with(".org\r\n\r\nNumLaps\t0\r\n"));
    EXPECT_TRUE(r.data.HrmCompat().ends_with("[IntTimes]\r\n[HRData]\r\n\r\n"));

    // Laps without distance data: no pace lines either.
    run.laps = {{{0, 4, 31, 2}, false, 160, 150, 165, 0, 0, 0}};
    Report noPace(BuildRs200Stream(run));
    EXPECT_NE(noPace.data.Hrm().find("BestLapTime=00:04:31.2\r\n\r\n[Lap01]"),
              std::string::npos);
    EXPECT_EQ(noPace.data.Csv().find("MaxPace"), std::string::npos);
    EXPECT_EQ(noPace.data.Csv().find("\r\nAvgPace"), std::string::npos);

    // A maximum pace of 25.6 seconds is enough to count as distance data.
    run.maxPace = 256;
    Report slow(BuildRs200Stream(run));
    EXPECT_NE(slow.data.Hrm().find("Distance=8.12\r\n"), std::string::npos);
    EXPECT_NE(slow.data.Hrm().find("MaxPace=00:25.6\r\nAvgPace=05:12.5\r\n\r\n"),
              std::string::npos);

    Report ride(BuildCs200Stream(RideValues{}));
    EXPECT_TRUE(ride.data.Hrm().ends_with("[Laps]\r\nNumLaps=0\r\n"));
    EXPECT_EQ(ride.data.Csv().find("[Laps]"), std::string::npos);
    EXPECT_NE(ride.data.HrmCompat().find("[IntTimes]\r\n[Trip]\r\n312\r\n0\r\n4203\r\n"),
              std::string::npos);
}

TEST(Rs200Report, BcdDigitsShowAsTheyStandWherePrintedDigitForDigit) {
    RideValues v;
    std::vector<std::uint8_t> bytes = BuildCs200Stream(v);
    bytes[RsDataAt(0, 147 - 16)] = 0x5A;  // start seconds
    bytes[RsDataAt(0, 114 - 16)] = 0xC0;  // length tenths
    bytes[RsDataAt(0, 117 - 16)] = 0x1A;  // length hours
    Report r(bytes);
    EXPECT_EQ(golden::LineStartingWith(r.data.Hrm(), "StartTime="), "StartTime=09:41:5a\r\n");
    EXPECT_EQ(golden::LineStartingWith(r.data.HrmCompat(), "Length="),
              "Length=1a:12:45.c\r\n");
    EXPECT_EQ(golden::LineStartingWith(r.data.Csv(), "Length"), "Length\t20:12:45.12\r\n");
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
    EXPECT_NE(ride.data.Hrm().find("Distance=12.30\r\n"), std::string::npos) << comma;
    EXPECT_NE(run.data.Hrm().find("Distance=8.12\r\n"), std::string::npos);
}
