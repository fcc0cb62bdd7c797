// The Coach report texts byte for byte (the golden files coach-intervals.*), under each way of
// writing CSV values.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "document/document.h"
#include "support/open_document.h"
#include "support/coach_stream_builder.h"
#include "support/golden.h"

using namespace zendrik;

namespace {

using golden::LineStartingWith;
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
    Document data{testing_streams::OnDay({2024, 6, 15}, 2)};
    explicit Decoded(const CoachValues& values) {
        data.DecodeBytes(ToReceived(BuildCoachStream(values).bytes));
    }
};

}  // namespace

TEST(CoachReport, HrmAndCsvTextsWithHrmFormatting) {
    Decoded run(Intervals());
    EXPECT_EQ(run.data.Valid(), 1);
    EXPECT_EQ(run.data.Date(), "20240305");
    EXPECT_GOLDEN("coach-intervals.hrm", run.data.Hrm());
    EXPECT_GOLDEN("coach-intervals.csv", run.data.Csv());
    EXPECT_EQ(run.data.HrmCompat(), "");
}

TEST(CoachReport, CustomSeparatorsChangeOnlyTheCsvValues) {
    Decoded run(Intervals());
    run.data.SetValueFormat(MakeValueFormat(0, ',', '-', '/'));
    EXPECT_GOLDEN("coach-intervals-custom.csv", run.data.Csv());
    EXPECT_GOLDEN("coach-intervals.hrm", run.data.Hrm());
}

TEST(CoachReport, NoTenthsDropsThemFromEveryCsvTime) {
    Decoded run(Intervals());
    // The date, start, length and both laps, under two sets of separators.
    const struct {
        char decimal, time, date;
        std::vector<std::string> lines;
    } cases[] = {
        {'.', ':', '.', {"Date\t05.03.2024", "StartTime\t07:30:15", "Length\t00:06:30",
                         "1\t00:03:00\t128\t110\t117\t131", "2\t00:06:30\t130\t135\t146\t159"}},
        {',', '.', '-', {"Date\t05-03-2024", "StartTime\t07.30.15", "Length\t00.06.30",
                         "1\t00.03.00\t128\t110\t117\t131", "2\t00.06.30\t130\t135\t146\t159"}},
    };
    for (const auto& c : cases) {
        run.data.SetValueFormat(MakeValueFormat(1, c.decimal, c.time, c.date));
        for (const std::string& line : c.lines) {
            const std::string field = line.substr(0, line.find('\t') + 1);
            EXPECT_EQ(LineStartingWith(run.data.Csv(), field), line + "\r\n");
        }
    }
    EXPECT_GOLDEN("coach-intervals.hrm", run.data.Hrm());
}

TEST(CoachReport, EmptyExerciseKeepsEverySection) {
    CoachValues v;
    v.coach[0] = 0;
    v.coach[1] = 7;
    Decoded run(v);
    EXPECT_EQ(run.data.Valid(), 1);
    const std::string& hrm = run.data.Hrm();
    EXPECT_NE(hrm.find("Length=00:00:00.0\r\nInterval=30\r\n"), std::string::npos);
    EXPECT_NE(hrm.find("0\t0\t0\r\n0\t7\r\n\r\n[Note]\r\n"), std::string::npos);
    EXPECT_NE(hrm.find("[IntTimes]\r\n\r\n[IntNotes]\r\n"), std::string::npos);
    EXPECT_NE(hrm.find("[Summary-123]\r\n0\t0\t0\t0\t0\t0\r\n0\t0\t0\t0\r\n"), std::string::npos);
    // The text ends with an empty [HRData] section and its closing empty line.
    EXPECT_TRUE(hrm.ends_with("[SwapTimes]\r\n\r\n[HRData]\r\n\r\n")) << hrm;
    const std::string& csv = run.data.Csv();
    EXPECT_TRUE(csv.ends_with("[Laps]\tTime\tEndHR\tMinHR\tAvgHR\tMaxHR\r\n\r\n[HRData]\r\n\r\n"))
        << csv;
}
