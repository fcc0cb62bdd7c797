#include "decoders/report_conventions.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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
    CValueFormat hrm;
    EXPECT_EQ(hrm.FormatCsvTime(7, 5, 9, 3), "07:05:09.3");
    EXPECT_EQ(hrm.FormatCsvTime(123, 0, 0, 0), "123:00:00.0");

    CValueFormat custom{",", "-", "/", false};
    EXPECT_EQ(custom.FormatCsvTime(7, 5, 9, 3), "07-05-09,3");

    CValueFormat noTenths;
    noTenths.noTenths = true;
    EXPECT_EQ(noTenths.FormatCsvTime(7, 5, 9, 9), "07:05:09");  // dropped, not rounded
    EXPECT_EQ(noTenths.FormatCsvTime(CTimeValue{1, 2, 3, 4}), "01:02:03");
}

TEST(ReportConventions, DatesAndDecimalsInTheirHrmAndCsvForms) {
    const CDateValue march5{2006, 3, 5};
    EXPECT_EQ(FormatHrmDate(march5), "20060305");
    EXPECT_EQ(CValueFormat{}.FormatCsvDate(march5), "05.03.2006");
    EXPECT_EQ((CValueFormat{",", "-", "/", false}.FormatCsvDate(march5)), "05/03/2006");

    EXPECT_EQ(FormatHrmTime(CTimeValue{7, 5, 9, 3}), "07:05:09.3");
    EXPECT_EQ(FormatHrmTime(CTimeValue{100, 0, 0, 0}), "100:00:00.0");

    EXPECT_EQ(FormatHrmTenths(12345), "1234.5");
    EXPECT_EQ(FormatHrmTenths(9), "0.9");
    EXPECT_EQ((CValueFormat{",", ":", ".", true}.FormatCsvTenths(12345)), "1234,5");
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

TEST(ReportConventions, ZoneCountsPutTheUpperLimitAboveAndTheLowerLimitIn) {
    const std::vector<std::int32_t> hr = {119, 120, 149, 150};
    const CZoneCounts zone = CountZoneSamples(hr.data(), 4, 120, 150);
    EXPECT_EQ(zone.above, 1);
    EXPECT_EQ(zone.in, 2);
    EXPECT_EQ(zone.below, 1);

    const CZoneCounts none = CountZoneSamples(hr.data(), 0, 120, 150);
    EXPECT_EQ(none.above + none.in + none.below, 0);
}
