#include "formats/report_conventions.h"

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

using namespace zendrik;

TEST(ReportConventions, BcdToIntTakesTheLowByteAndDoesNotRejectBadNibbles) {
    EXPECT_EQ(BcdToInt(0x59), 59);
    EXPECT_EQ(BcdToInt(0x00), 0);
    EXPECT_EQ(BcdToInt(0x99), 99);
    EXPECT_EQ(BcdToInt(0x5A), 60);
    EXPECT_EQ(BcdToInt(0xFF), 165);
    EXPECT_EQ(BcdToInt(0x1FF), 165);
}

TEST(ReportConventions, HrmLineToCsvTurnsOnlyALeadingKeysEqualsIntoATab) {
    EXPECT_EQ(HrmLineToCsv("SMode=000000000\r\n"), "SMode\t000000000\r\n");
    EXPECT_EQ(HrmLineToCsv("Exercise=a=b\r\n"), "Exercise\ta=b\r\n");
    EXPECT_EQ(HrmLineToCsv("[Params]\r\n"), "[Params]\r\n");
    EXPECT_EQ(HrmLineToCsv("=5\r\n"), "=5\r\n");
    EXPECT_EQ(HrmLineToCsv(""), "");
}

TEST(ReportConventions, CsvTimeFollowsTheSeparatorsAndDropsTenthsOnRequest) {
    ValueFormat hrm;
    EXPECT_EQ(hrm.FormatCsvTime(7, 5, 9, 3), "07:05:09.3");
    EXPECT_EQ(hrm.FormatCsvTime(123, 0, 0, 0), "123:00:00.0");

    ValueFormat custom{",", "-", "/", false};
    EXPECT_EQ(custom.FormatCsvTime(7, 5, 9, 3), "07-05-09,3");

    ValueFormat noTenths;
    noTenths.noTenths = true;
    EXPECT_EQ(noTenths.FormatCsvTime(7, 5, 9, 9), "07:05:09");  // dropped, not rounded
    EXPECT_EQ(noTenths.FormatCsvTime(zendrik::WatchTime{1, 2, 3, 4}), "01:02:03");
}

TEST(ReportConventions, DatesAndDecimalsInTheirHrmAndCsvForms) {
    const DateValue march5{2006, 3, 5};
    EXPECT_EQ(FormatHrmDate(march5), "20060305");
    EXPECT_EQ(ValueFormat{}.FormatCsvDate(march5), "05.03.2006");
    EXPECT_EQ((ValueFormat{",", "-", "/", false}.FormatCsvDate(march5)), "05/03/2006");

    EXPECT_EQ(FormatHrmTime(zendrik::WatchTime{7, 5, 9, 3}), "07:05:09.3");
    EXPECT_EQ(FormatHrmTime(zendrik::WatchTime{100, 0, 0, 0}), "100:00:00.0");

    EXPECT_EQ(FormatHrmTenths(12345), "1234.5");
    EXPECT_EQ(FormatHrmTenths(9), "0.9");
    EXPECT_EQ((ValueFormat{",", ":", ".", true}.FormatCsvTenths(12345)), "1234,5");
}

TEST(ReportConventions, WatchCharacterCodes) {
    std::string name;
    EXPECT_TRUE(AppendWatchCharacter(name, 0));
    EXPECT_TRUE(AppendWatchCharacter(name, 10));
    EXPECT_TRUE(AppendWatchCharacter(name, 11));
    EXPECT_TRUE(AppendWatchCharacter(name, 37));
    EXPECT_TRUE(AppendWatchCharacter(name, 72));
    EXPECT_EQ(name, "0 Aa?");

    // 73 is the character set's own terminator: it ends the name and adds nothing.
    EXPECT_FALSE(AppendWatchCharacter(name, 73));
    EXPECT_EQ(name, "0 Aa?");

    EXPECT_TRUE(AppendWatchCharacter(name, 74));
    EXPECT_TRUE(AppendWatchCharacter(name, 200));
    EXPECT_TRUE(AppendWatchCharacter(name, 255));
    EXPECT_EQ(name, "0 Aa?~~~");
    EXPECT_EQ(WatchCharset.size(), 73u);
}

TEST(ReportConventions, MinHrInRangeIncludesBothEndsAndRestartsAfterAZeroSample) {
    const std::vector<std::int32_t> dip = {0, 80, 70};
    EXPECT_EQ(MinHrInRange(dip.data(), 3, 0, 30, 15), 70);
    const std::vector<std::int32_t> dropout = {80, 0};
    EXPECT_EQ(MinHrInRange(dropout.data(), 2, 0, 15, 15), 0);

    const std::vector<std::int32_t> hr = {150, 140, 130, 120, 110, 100};
    EXPECT_EQ(MinHrInRange(hr.data(), 6, 0, 15, 15), 140);    // samples 0 and 1
    EXPECT_EQ(MinHrInRange(hr.data(), 6, 29, 44, 15), 130);   // samples 1 and 2
    EXPECT_EQ(MinHrInRange(hr.data(), 6, 60, 999, 15), 100);  // cut at the last sample
    EXPECT_EQ(MinHrInRange(hr.data(), 6, 90, 120, 15), 0);    // past the samples

    EXPECT_EQ(MinHrInRange(hr.data(), 6, 30, 15, 15), 0);   // from after to
    EXPECT_EQ(MinHrInRange(hr.data(), 6, 0, 30, 0), 0);     // no interval
    EXPECT_EQ(MinHrInRange(hr.data(), 0, 0, 30, 15), 0);    // no samples
    EXPECT_EQ(MinHrInRange(hr.data(), 6, -30, 30, 15), 0);  // starts before the exercise
}

TEST(ReportConventions, ZoneTimesPutTheUpperLimitAboveAndTheLowerLimitIn) {
    const std::vector<int> hr = {119, 120, 149, 150};
    const int lower[3] = {120, 0, 200};
    const int upper[3] = {150, 255, 250};
    const std::vector<zendrik::Zone> zones = SampledZones(lower, upper, hr, 15);
    ASSERT_EQ(zones.size(), 3u);
    // 150 seconds a sample, in tenths: below, in, above.
    EXPECT_EQ(zones[0].lower, 120);
    EXPECT_EQ(zones[0].upper, 150);
    EXPECT_EQ(std::tie(*zones[0].below, *zones[0].in, *zones[0].above), std::make_tuple(150, 300, 150));
    EXPECT_EQ(std::tie(*zones[1].below, *zones[1].in, *zones[1].above), std::make_tuple(0, 600, 0));
    EXPECT_EQ(std::tie(*zones[2].below, *zones[2].in, *zones[2].above), std::make_tuple(600, 0, 0));
    EXPECT_EQ(SampledZones(lower, upper, {}, 15)[0].in, 0);
}
