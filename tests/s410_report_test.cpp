// Whole S410/S510 reports, byte for byte: the expected texts are the golden files s410-run.* and
// s510-ride.*, the reports as a user sees them.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "document/document.h"
#include "support/golden.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

namespace {

using golden::LineStartingWith;
using namespace testing_streams;

// Named and unnamed, with names of the characters a watch can show, hours past 1 and BCD digits
// that only just fit.
std::vector<Summary> EarlierExercises() {
    return {{true, "Easy", {18, 5, 0, 0}, {2006, 3, 4}, {0, 30, 0, 0}, 120, 150},
            {false, "Ignored", {6, 0, 59, 0}, {2006, 2, 28}, {1, 2, 3, 4}, 140, 180},
            {true, "Tempo-3", {12, 0, 0, 0}, {1999, 12, 31}, {2, 0, 0, 9}, 150, 190},
            {true, "Hill(2)", {23, 59, 59, 0}, {2005, 10, 1}, {0, 0, 5, 0}, 90, 100},
            {true, "a/b%", {0, 0, 0, 0}, {1990, 1, 1}, {0, 10, 10, 1}, 0, 0}};
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

// The stream of `values` decoded with watch model `model`.
void Receive(Document& data, const S410Values& values, int model = 1) {
    data.SetWatchModel(model);
    data.DecodeBytes(ToReceived(BuildS410Stream(values).bytes));
}

}  // namespace

TEST(S410Report, S410TransferWithLapsAndEarlierExercises) {
    Document data;
    Receive(data, RunOnS410(), 1);
    ASSERT_EQ(data.Valid(), 1) << data.Hrm();
    EXPECT_GOLDEN("s410-run.hrm", data.Hrm());
    EXPECT_GOLDEN("s410-run.csv", data.Csv());
    EXPECT_EQ(data.HrmCompat(), "");
    EXPECT_EQ(data.Date(), "20060305");
}

TEST(S410Report, S510TransferWithSpeedCadenceAndCycling) {
    Document data;
    Receive(data, RideOnS510(), 3);
    ASSERT_EQ(data.Valid(), 1) << data.Hrm();
    EXPECT_GOLDEN("s510-ride.hrm", data.Hrm());
    EXPECT_GOLDEN("s510-ride.csv", data.Csv());
}

TEST(S410Report, TheStreamNotTheChosenModelSelectsTheS510Report) {
    Document data;
    Receive(data, RideOnS510(), 1);
    EXPECT_GOLDEN("s510-ride.hrm", data.Hrm());
}

TEST(S410Report, CsvFollowsTheValueFormatWhileTheHrmTextStaysFixed) {
    Document data;
    Receive(data, RideOnS510(), 1);  // the user's choice; re-rendering takes the model from the stream

    data.SetValueFormat(MakeValueFormat(0, ',', '-', '/'));
    EXPECT_GOLDEN("s510-ride-custom.csv", data.Csv());
    EXPECT_GOLDEN("s510-ride.hrm", data.Hrm());
    EXPECT_EQ(data.Settings().watchModel, 1);
    EXPECT_EQ(data.Date(), "20060714");

    // Without tenths every CSV time loses them; decimal values keep theirs.
    data.SetValueFormat(MakeValueFormat(1, ',', '-', '/'));
    const std::string& csv = data.Csv();
    EXPECT_EQ(LineStartingWith(csv, "StartTime"), "StartTime\t09-00-00\r\n");
    EXPECT_EQ(LineStartingWith(csv, "Length"), "Length\t00-03-00\r\n");
    EXPECT_EQ(LineStartingWith(csv, "TotalTime"), "TotalTime\t07-05-00\r\n");
    EXPECT_EQ(LineStartingWith(csv, "1\t"), "1\t00-01-15\t128\t105\t120\t135\t1200\r\n");
    EXPECT_EQ(LineStartingWith(csv, "2\t"), "2\t00-03-00\t160\t129\t145\t171\t30000\r\n");
    EXPECT_EQ(LineStartingWith(csv, "Calories"), "Calories\t0,9\r\n");
    EXPECT_EQ(LineStartingWith(csv, "Distance"), "Distance\t25,6\r\n");
    EXPECT_GOLDEN("s510-ride.hrm", data.Hrm());

    // Back to the HRM separators gives the first rendering again.
    data.SetValueFormat(MakeValueFormat(0, '.', ':', '.'));
    EXPECT_GOLDEN("s510-ride.csv", data.Csv());
}

TEST(S410Report, SameValueFormatTwiceRendersOnce) {
    Document data;
    Receive(data, RunOnS410());
    data.SetValueFormat(MakeValueFormat(0, ',', '-', '/'));
    EXPECT_EQ(LineStartingWith(data.Csv(), "Date"), "Date\t05/03/2006\r\n");

    // A second call with the same choices must leave the texts alone: not even rendered anew.
    const char* const rendered = data.Csv().data();
    data.SetValueFormat(MakeValueFormat(0, ',', '-', '/'));
    EXPECT_EQ(data.Csv().data(), rendered);
}

TEST(S410Report, S410CsvWithoutTenths) {
    Document data;
    Receive(data, RunOnS410());
    data.SetValueFormat(MakeValueFormat(1, '.', ':', '.'));
    const std::string& csv = data.Csv();
    EXPECT_EQ(LineStartingWith(csv, "StartTime"), "StartTime\t07:30:15\r\n");
    EXPECT_EQ(LineStartingWith(csv, "Length"), "Length\t00:01:58\r\n");  // .7 dropped, not rounded
    EXPECT_EQ(LineStartingWith(csv, "1\t"), "1\t00:00:45\t118\t95\t110\t125\r\n");
    EXPECT_EQ(LineStartingWith(csv, "Calories"), "Calories\t1234.5\r\n");
    EXPECT_GOLDEN("s410-run.hrm", data.Hrm());
}
