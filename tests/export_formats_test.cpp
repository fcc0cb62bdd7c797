// The export formats' own rules, without outside readers: local times placed in UTC, FIT's CRCs
// and date range, text that keeps XML and JSON well-formed whatever an exercise holds.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

#include "formats/fit_encoder.h"
#include "formats/fit_writer.h"
#include "formats/json_writer.h"
#include "formats/tcx_writer.h"
#include "formats/time_zone.h"
#include "formats/xml_text.h"
#include "decoders/transfer_decoders.h"
#include "platform/zone_database.h"
#include "support/coach_stream_builder.h"
#include "support/rs200_stream_builder.h"
#include "support/sample_exercises.h"

using namespace zendrik;

namespace {

using zendrik::Exercise;
using zendrik::LocalDateTime;
using zendrik::TimeZone;

TimeZone Zone(const char* name) {
    const std::optional<TimeZone> zone = ZoneNamed(name);
    EXPECT_TRUE(zone) << name;
    return zone.value_or(TimeZone::Utc());
}

// The same zones as lists of their changes, as a caller without a zone database hands them in.
TimeZone ZoneFromChanges(const char* name) {
    const std::map<std::string, std::vector<zendrik::ZoneChange>> changes = {
        {"Europe/Berlin", {{0, 3600}, {1143334800, 7200}, {1162083600, 3600}}},
        {"America/New_York", {{0, -18000}, {1173596400, -14400}}},
        {"Australia/Sydney", {{0, 39600}}},
        {"UTC", {}},
    };
    return TimeZone::FromChanges(name, changes.at(name));
}

// Expected values worked out apart from the program, with Python's zoneinfo (fold 0); the zone
// database's rules and a list of changes read them alike.
TEST(TimeZoneTest, LocalTimesBecomeUtcUnderTheRulesOfTheirDate) {
    struct Row {
        const char* zone;
        LocalDateTime local;
        std::int64_t utc;
    };
    const Row rows[] = {
        {"Europe/Berlin", {2006, 1, 15, 12, 0, 0}, 1137322800},     // winter, +1
        {"Europe/Berlin", {2006, 7, 15, 12, 0, 0}, 1152957600},     // summer, +2
        {"Europe/Berlin", {2006, 3, 26, 2, 30, 0}, 1143336600},     // skipped hour: read at +1
        {"Europe/Berlin", {2006, 10, 29, 2, 30, 0}, 1162081800},    // twice: the first, at +2
        {"America/New_York", {2007, 3, 11, 12, 0, 0}, 1173628800},  // the day the US rules changed
        {"Australia/Sydney", {2007, 1, 10, 6, 0, 0}, 1168369200},   // southern summer, +11
        {"UTC", {2000, 2, 29, 23, 59, 59}, 951868799},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(Zone(r.zone).ToUtc(r.local), r.utc)
            << r.zone << " " << r.local.month << "/" << r.local.day;
        EXPECT_EQ(ZoneFromChanges(r.zone).ToUtc(r.local), r.utc)
            << r.zone << " " << r.local.month << "/" << r.local.day << " from changes";
    }
    // Summer time began at 01:00Z that night.
    EXPECT_EQ(Zone("Europe/Berlin").OffsetAt(1143334799), 3600);
    EXPECT_EQ(Zone("Europe/Berlin").OffsetAt(1143334800), 7200);
    EXPECT_EQ(ZoneFromChanges("Europe/Berlin").OffsetAt(1143334799), 3600);
    EXPECT_EQ(ZoneFromChanges("Europe/Berlin").OffsetAt(1143334800), 7200);
}

TEST(TimeZoneTest, WhatIsNotADateOrAZoneIsRefused) {
    const TimeZone berlin = Zone("Europe/Berlin");
    for (const LocalDateTime& t :
         {LocalDateTime{2006, 13, 1, 0, 0, 0}, LocalDateTime{2006, 0, 1, 0, 0, 0},
          LocalDateTime{2006, 2, 29, 0, 0, 0}, LocalDateTime{2006, 4, 31, 0, 0, 0},
          LocalDateTime{2006, 1, 1, 24, 0, 0}, LocalDateTime{2006, 1, 1, 0, 60, 0},
          LocalDateTime{2006, 1, 0, 0, 0, 0}, LocalDateTime{2006, 3, 257, 0, 0, 0}}) {
        EXPECT_FALSE(berlin.ToUtc(t))
            << t.month << "/" << t.day << " " << t.hour << ":" << t.minute;
    }
    EXPECT_FALSE(ZoneNamed("Europe/Atlantis"));
    EXPECT_FALSE(ZoneNamed(""));
    EXPECT_EQ(zendrik::FormatUtc(1143336600), "2006-03-26T01:30:00Z");
}

std::vector<std::int64_t> LapDistances(const Exercise& e) {
    std::vector<std::int64_t> metres;
    for (const zendrik::Lap& lap : e.laps) metres.push_back(lap.distanceMeters.value_or(-1));
    return metres;
}

// What each decoder puts into the one exercise model, in the model's units.
TEST(ExerciseModelTest, DecodersFillTheModelInItsUnits) {
    using namespace testing_streams;
    const zendrik::DecodeContext context{{2007, 6, 1}};
    S410Values s510;
    s510.s510 = true;
    s510.flags = 0x35;
    s510.hr = {120, 121, 122, 123};
    s510.speed = {40, 41, 42, 43};  // half km/h
    s510.cadence = {80, 81, 82, 83};
    s510.distance = 52;  // tenths of a km
    s510.laps = {{{0, 3, 0, 0}, 120, 118, 139, 16}, {{0, 9, 45, 5}, 128, 133, 170, 17}};
    const Exercise ride =
        *zendrik::ReadS410Transfer(ToReceived(BuildS410Stream(s510).bytes), context).exercise;
    EXPECT_EQ(ride.family, zendrik::WatchFamily::S510);
    EXPECT_EQ(ride.sport, zendrik::Sport::Cycling);
    EXPECT_EQ(ride.distanceMeters, 5200);
    EXPECT_EQ(ride.Find(zendrik::SeriesKind::Speed)->values, (std::vector<int>{200, 205, 210, 215}));
    EXPECT_EQ(ride.Find(zendrik::SeriesKind::Speed)->divisor, 10);
    EXPECT_EQ(LapDistances(ride), (std::vector<std::int64_t>{1600, 1700}));
    EXPECT_EQ(ride.laps[1].split, 5855);

    // A run's and a ride's laps count their distance from the start; a lap that seems to go
    // back covers nothing.
    RunValues run;
    run.start = {1, 30, 0, 0};
    run.laps = {{{0, 15, 0, 0}, false, 150, 145, 160, 3100, 3050, 300},
                {{0, 30, 10, 2}, true, 160, 152, 170, 2900, 3000, 600},
                {{0, 35, 0, 0}, false, 165, 155, 171, 2900, 3000, 500},
                {{0, 42, 17, 3}, false, 170, 160, 178, 2800, 2950, 812}};
    const Exercise r = *zendrik::ReadRs200Transfer(ToReceived(BuildRs200Stream(run)), context).exercise;
    EXPECT_EQ(LapDistances(r), (std::vector<std::int64_t>{3000, 3000, 0, 3120}));
    EXPECT_EQ(r.sport, zendrik::Sport::Running);
    EXPECT_EQ(r.start.hour, 1);
    run.maxPace = 0;  // no foot pod: no distances at all
    const Exercise noPod = *zendrik::ReadRs200Transfer(ToReceived(BuildRs200Stream(run)), context).exercise;
    EXPECT_EQ(LapDistances(noPod), (std::vector<std::int64_t>{-1, -1, -1, -1}));
    EXPECT_FALSE(noPod.distanceMeters);
    RideValues cs200;
    cs200.laps = {{{0, 40, 0, 0}, false, 135, 130, 250, 85, 82, 170},
                  {{1, 12, 45, 6}, true, 150, 145, 260, 90, 86, 312}};
    const Exercise c = *zendrik::ReadRs200Transfer(ToReceived(BuildCs200Stream(cs200)), context).exercise;
    EXPECT_EQ(LapDistances(c), (std::vector<std::int64_t>{17000, 14200}));
    EXPECT_EQ(c.duration, 43656);  // 01:12:45 and 6 tenths
    EXPECT_EQ(c.distanceMeters, 31200);
    EXPECT_TRUE(c.series.empty());

    // An S410 has no distances; Coach laps have none either.
    CoachValues coach;
    coach.hr = {100, 110};
    coach.laps = {{{0, 1, 0, 0}, 120, 110, 130, 0}};
    const Exercise co = *zendrik::ReadCoachTransfer(ToReceived(BuildCoachStream(coach).bytes), context).exercise;
    EXPECT_EQ(LapDistances(co), (std::vector<std::int64_t>{-1}));
    s510.s510 = false;
    const Exercise s410 =
        *zendrik::ReadS410Transfer(ToReceived(BuildS410Stream(s510).bytes), context).exercise;
    EXPECT_EQ(LapDistances(s410), (std::vector<std::int64_t>{-1, -1}));
    EXPECT_FALSE(s410.distanceMeters);
}

std::vector<Exercise> AllFamilies() {
    using namespace testing_streams;
    return {S510Ride(),      S410WithLaps(), S410WithoutLaps({2006, 3, 5, 7, 0, 0}),
            CoachExercise(), Rs200Run(),     Cs200Ride()};
}

TEST(FitWriterTest, HeaderAndFileCrcsHoldForEveryFamily) {
    for (const Exercise& e : AllFamilies()) {
        const zendrik::ExportResult fit = zendrik::WriteFit(e, Zone("Europe/Berlin"));
        ASSERT_TRUE(fit.Ok()) << fit.error;
        const std::string& f = fit.data;
        ASSERT_GT(f.size(), 16u);
        EXPECT_EQ(f.substr(8, 4), ".FIT");
        EXPECT_EQ(zendrik::FitCrc(f.data(), 14), 0) << "header CRC";
        EXPECT_EQ(zendrik::FitCrc(f.data(), f.size()), 0) << "file CRC";
        const std::uint32_t dataSize =
            static_cast<std::uint8_t>(f[4]) | static_cast<std::uint8_t>(f[5]) << 8 |
            static_cast<std::uint8_t>(f[6]) << 16 |
            static_cast<std::uint32_t>(static_cast<std::uint8_t>(f[7])) << 24;
        EXPECT_EQ(dataSize, f.size() - 16);
    }
}

TEST(FitWriterTest, StartsFitCannotCarryGiveAnErrorAndNoFile) {
    struct Row {
        LocalDateTime start;
        bool fit;
        bool tcx;
    };
    const Row rows[] = {
        {{1998, 7, 3, 12, 0, 0}, false, true},  // FIT's dates begin at 1998-07-03T21:24:16Z
        {{1998, 7, 4, 0, 0, 0}, true, true},
        {{2126, 2, 6, 6, 0, 0}, true, true},  // and end at 2126-02-06T06:28Z
        {{2126, 2, 6, 7, 0, 0}, false, true},
        {{2006, 2, 30, 12, 0, 0}, false, false},
        {{2006, 5, 5, 25, 0, 0}, false, false},
    };
    for (const Row& r : rows) {
        Exercise e = testing_streams::CoachExercise();
        e.start = r.start;
        const zendrik::ExportResult fit = zendrik::WriteFit(e, TimeZone::Utc());
        const zendrik::ExportResult tcx = zendrik::WriteTcx(e, TimeZone::Utc());
        EXPECT_EQ(fit.Ok(), r.fit) << r.start.year << "-" << r.start.month << "-" << r.start.day;
        EXPECT_EQ(tcx.Ok(), r.tcx) << r.start.year << "-" << r.start.month << "-" << r.start.day;
        EXPECT_EQ(fit.data.empty(), !r.fit);
        EXPECT_EQ(tcx.data.empty(), !r.tcx);
    }
}

TEST(XmlTextTest, AnyBytesBecomeWellFormedCharacterData) {
    const std::pair<std::string, std::string> rows[] = {
        {"Ride", "Ride"},
        {"<a href=\"x\">&'", "&lt;a href=&quot;x&quot;&gt;&amp;&apos;"},
        {"tab\tline\ncr\r", "tab\tline\ncr\r"},
        {std::string("nul\0bell\x07", 9), "nulbell"},              // not XML characters at all
        {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"},  // UTF-8 stays
        {"\xFF\xC3", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // not UTF-8: replaced
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // an overlong '/'
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
    };
    for (const auto& [in, expected] : rows) {
        std::string out;
        zendrik::AppendXmlText(out, in);
        EXPECT_EQ(out, expected) << in;
    }
}

TEST(JsonWriterTest, TheWholeExerciseReadsBackWhateverItsNameHolds) {
    for (Exercise e : AllFamilies()) {
        e.name = "\"quoted\"\n\xFF";
        const nlohmann::json j = nlohmann::json::parse(zendrik::WriteJson(e), nullptr, false);
        ASSERT_FALSE(j.is_discarded());
        EXPECT_EQ(j["schemaVersion"], 2);
        const nlohmann::json& x = j["exercise"];
        EXPECT_EQ(x["family"], zendrik::FamilyName(e.family));
        EXPECT_EQ(x["name"], "\"quoted\"\n\xEF\xBF\xBD");
        EXPECT_DOUBLE_EQ(x["durationSeconds"].get<double>(), e.duration / 10.0);
        ASSERT_EQ(x["series"].size(), e.series.size());
        for (std::size_t i = 0; i < e.series.size(); ++i) {
            EXPECT_EQ(x["series"][i]["values"].get<std::vector<int>>(), e.series[i].values);
        }
        ASSERT_EQ(x["laps"].size(), e.laps.size());
        for (std::size_t i = 0; i < e.laps.size(); ++i) {
            EXPECT_DOUBLE_EQ(x["laps"][i]["splitSeconds"].get<double>(), e.laps[i].split / 10.0);
            EXPECT_EQ(x["laps"][i].contains("distanceMeters"),
                      e.laps[i].distanceMeters.has_value());
        }
        EXPECT_EQ(x["zones"].size(), e.zones.size());
        EXPECT_EQ(x["earlier"].size(), e.earlier.size());
    }
}

}  // namespace
