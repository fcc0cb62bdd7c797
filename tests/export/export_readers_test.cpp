// FIT and TCX files of every watch family, read back by readers that share no code with ours:
// npm's fit-file-parser with its CRC checks on, Garmin's own FIT decoder with its integrity check,
// and fast-xml-parser for TCX. What they read must be the decoded values, at the right UTC times.
// Four of the cases, one of each family's report layout but the Coach's, are transfers decoded by
// the program and written by zendrik-cli, in the zone it is told or the one TZ names.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "decoders/exercise.h"
#include "formats/fit_writer.h"
#include "formats/tcx_writer.h"
#include "document/document.h"
#include "platform/zone_database.h"
#include "support/rs200_stream_builder.h"
#include "support/run_process.h"
#include "support/sample_exercises.h"

using namespace zendrik;

namespace {

using nlohmann::json;
using zendrik::Exercise;

struct Case {
    std::string name;
    Exercise exercise;
    const char* zone;
    std::int64_t startUtc;     // worked out apart from the program, with Python's zoneinfo
    std::int64_t offsetAtEnd;  // seconds east of UTC when the exercise ends
    const char* fitSport;
    const char* tcxSport;
    std::vector<std::uint8_t> stream;  // when given, zendrik-cli writes the files from its dump
    // The FIT time_in_zone messages: each bin's highest heart rate and its seconds (null when the
    // watch does not say), worked out by hand from the zones and samples.
    const char* timeInZones = "[]";
    bool zoneFromTz = false;  // zendrik-cli is not told the zone: it takes the computer's, from TZ
};

using namespace testing_streams;

Exercise DecodedExercise(const std::vector<std::uint8_t>& stream) {
    Document data;
    data.DecodeBytes(ToReceived(stream), ModelBy::StreamHead);
    return data.ValidExercise() ? *data.ValidExercise() : Exercise{};
}

std::vector<std::uint8_t> CliRide() {
    S410Values v;
    v.s510 = true;
    v.flags = 0x35;
    for (int i = 0; i < 30; ++i) {
        v.hr.push_back(i == 7 ? 0 : 110 + i);
        v.speed.push_back(40 + i % 7);
        v.cadence.push_back(80 + i % 4);
    }
    // Seven and a half minutes: the 30 samples come 15 seconds apart.
    v.current.length = {0, 7, 30, 5};
    v.laps = {{{0, 3, 0, 0}, 130, 125, 140, 6}, {{0, 7, 30, 5}, 139, 131, 150, 9}};
    return BuildS410Stream(v).bytes;
}

// Zone limits and times in seconds (-1: not kept) set on an exercise.
Exercise WithZones(Exercise e, const std::vector<std::array<int, 5>>& zones) {
    const auto tenths = [](int s) { return s < 0 ? std::nullopt : std::optional<zendrik::Tenths>(s * 10); };
    e.zones.clear();
    for (const auto& [lower, upper, below, in, above] : zones) {
        e.zones.push_back({lower, upper, tenths(below), tenths(in), tenths(above)});
    }
    return e;
}

std::vector<Case> Cases() {
    const std::vector<std::uint8_t> s510 = CliRide();
    const std::vector<std::uint8_t> run = BuildRs200Stream(RunValues{});
    S410Values s410;
    s410.hr = {100, 110, 0, 120};
    const std::vector<std::uint8_t> plain = BuildS410Stream(s410).bytes;
    const std::vector<std::uint8_t> ride = BuildCs200Stream(RideValues{});
    return {
        // 120-129 lies between the zones: 420 s above the first, 240 in and 120 above the second.
        {"s510_ride", WithZones(S510Ride(), {{100, 120, 60, 120, 420}, {130, 150, 240, 240, 120}}),
         "Europe/Berlin", 1152941415, 7200, "cycling", "Biking", {},
         R"([{"high": [99, 119, 129, 149, 254], "seconds": [60, 120, 60, 240, 120]}])"},
        // Zones that overlap cannot share one breakdown.
        {"s410_laps", WithZones(S410WithLaps(), {{120, 150, 300, 600, 300}, {140, 170, 800, 400, 0}}),
         "America/New_York", 1106262000, -18000, "generic", "Other", {},
         R"([{"high": [119, 149, 254], "seconds": [300, 600, 300]},
             {"high": [139, 169, 254], "seconds": [800, 400, 0]}])"},
        // 02:30 comes twice that night; the first one, still on summer time, is meant.
        {"s410_no_laps", S410WithoutLaps({2006, 10, 29, 2, 30, 0}), "Europe/Berlin",
         1162081800, 7200, "generic", "Other", {}},
        {"coach", CoachExercise(), "UTC", 1173079815, 0, "generic", "Other", {}},
        {"rs200_run", Rs200Run(), "Europe/London", 1174786200, 3600, "running", "Running", {}},
        {"cs200_ride", Cs200Ride(), "Australia/Sydney", 1189813267, 36000, "cycling", "Biking", {}},
        // Zones 100-120, 120-140, 140-160; heart rates 110 to 139 every 15 s, one lost (0).
        {"cli_s510_ride", DecodedExercise(s510), "Europe/Berlin", 1141540215, 3600, "cycling",
         "Biking", s510, R"([{"high": [99, 119, 139, 159, 254], "seconds": [15, 135, 300, 0, 0]}])"},
        // Four days after the clocks went forward there. The watch's five sport zones meet
        // (94-112, 113-131, ...) and it keeps only the time in each.
        {"cli_rs200_run", DecodedExercise(run), "America/Chicago", 1173999930, -18000, "running",
         "Running", run,
         R"([{"high": [93, 112, 131, 150, 169, 188], "seconds": [null, 181, 482, 843, 724, 245]}])"},
        // Samples 690 s apart (the length over four, up to a multiple of 15 s), one lost; the
        // watch's zones meet.
        {"cli_s410_tz", DecodedExercise(plain), "America/New_York", 1141561815, -18000, "generic",
         "Other", plain, R"([{"high": [99, 119, 139, 159, 254], "seconds": [690, 1380, 690, 0, 0]}])",
         true},
        {"cli_cs200_ride", DecodedExercise(ride), "Asia/Tokyo", 1189816867, 32400, "cycling",
         "Biking", ride},
    };
}

// The laps the files must hold: the watch's, or one for the whole exercise.
struct ExpectedLap {
    double start = 0;  // seconds from the exercise start
    double length = 0;
    std::optional<int> avgHr, maxHr;
    std::optional<std::int64_t> distance;
};

// Distance from the start at each sample: the speed samples added up, scaled to end on the
// watch's own distance where it kept one.
std::vector<double> ExpectedDistances(const Exercise& e) {
    const auto* speed = e.Find(zendrik::SeriesKind::Speed);
    std::vector<double> distances(speed ? e.SampleCount() : 0, 0.0);
    for (std::size_t i = 1; i < distances.size(); ++i) {
        distances[i] = distances[i - 1] + speed->values[i] * e.intervalSeconds / 36.0;
    }
    if (!distances.empty() && e.distanceMeters && distances.back() > 0) {
        const double scale = static_cast<double>(*e.distanceMeters) / distances.back();
        for (double& d : distances) d *= scale;
    }
    return distances;
}

std::vector<ExpectedLap> ExpectedLaps(const Exercise& e) {
    std::vector<ExpectedLap> laps;
    double previous = 0;
    for (const zendrik::Lap& lap : e.laps) {
        laps.push_back(
            {previous, lap.split / 10.0 - previous, lap.avgHr, lap.maxHr, lap.distanceMeters});
        previous = lap.split / 10.0;
    }
    if (laps.empty()) laps.push_back({0, e.duration / 10.0, e.avgHr, e.maxHr, e.distanceMeters});
    return laps;
}

std::int64_t Kilocalories(const Exercise& e) {
    return e.caloriesTenths ? std::llround(*e.caloriesTenths / 10.0) : 0;
}

// Writes every case in both formats into one folder and reads them all with one node run.
class ExportReaders : public ::testing::Test {
protected:
    // Failures here are kept for SetUp to report: an assertion in SetUpTestSuite would only mark
    // the tests as skipped.
    static void SetUpTestSuite() {
        const std::filesystem::path npm = ZENDRIK_NPM_DIR;
        const std::string node = ZENDRIK_NODE;
        if (node.empty() || !std::filesystem::exists(npm / "node_modules" / "fit-file-parser")) {
            skipReason_ = "node, or the npm readers in " + npm.string() +
                          ", not found (see the export_readers_install test)";
            return;
        }
        // A folder of this process's own: ctest runs each test in a process of its own, and
        // several at once.
        dir_ = testing_streams::TempPath("export_readers");
        const std::filesystem::path& dir = dir_;
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        for (const Case& c : Cases()) {
            const auto zone = ZoneNamed(c.zone);
            if (!zone) {
                setUpError_ = std::string("the zone database lacks ") + c.zone;
                return;
            }
            if (!c.stream.empty()) {
                const std::string dump = WriteDump(c.stream, c.name + ".sld");
                for (const char* format : {"fit", "tcx"}) {
                    const std::string file = (dir / (c.name + "." + format)).string();
                    std::vector<std::string> args = {"--format", format, "-o", file, dump};
                    std::vector<std::string> env;
                    (c.zoneFromTz ? env : args).push_back((c.zoneFromTz ? "TZ=" : "--timezone=") + std::string(c.zone));
                    const ProcessResult cli = RunProcess(ZENDRIK_CLI_PATH, args, env);
                    if (cli.exitCode != 0) {
                        setUpError_ = c.name + ": zendrik-cli failed: " + cli.err;
                        return;
                    }
                }
                continue;
            }
            const zendrik::ExportResult fit = zendrik::WriteFit(c.exercise, *zone);
            const zendrik::ExportResult tcx = zendrik::WriteTcx(c.exercise, *zone);
            if (!fit.Ok() || !tcx.Ok()) {
                setUpError_ = c.name + ": " + fit.error + tcx.error;
                return;
            }
            std::ofstream(dir / (c.name + ".fit"), std::ios::binary) << fit.data;
            std::ofstream(dir / (c.name + ".tcx"), std::ios::binary) << tcx.data;
        }
        const testing_streams::ProcessResult run =
            testing_streams::RunProcess(node, {(npm / "read_exports.mjs").string(), dir.string()});
        if (run.exitCode != 0) {
            setUpError_ = "the readers failed: " + run.err;
            return;
        }
        read_ = json::parse(run.out, nullptr, false);
        if (read_.is_discarded()) setUpError_ = "the readers wrote no JSON: " + run.out;
    }

    void SetUp() override {
        if (!skipReason_.empty()) GTEST_SKIP() << skipReason_;
        ASSERT_TRUE(setUpError_.empty()) << setUpError_;
    }

    static const json& Read(const std::string& file) { return read_.at(file); }

    static inline json read_;
    static inline std::filesystem::path dir_;
    static inline std::string skipReason_;
    static inline std::string setUpError_;
};

TEST_F(ExportReaders, FitRecordsAreTheSamplesAtTheirUtcTimes) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const json& f = Read(c.name + ".fit");
        ASSERT_FALSE(f.contains("error")) << f["error"];
        EXPECT_TRUE(f["garmin"]["integrity"].get<bool>());
        EXPECT_TRUE(f["garmin"]["errors"].empty()) << f["garmin"]["errors"];
        EXPECT_EQ(f["fileId"][0]["type"], "activity");
        const auto* hr = c.exercise.Find(zendrik::SeriesKind::HeartRate);
        const auto* speed = c.exercise.Find(zendrik::SeriesKind::Speed);
        const auto* cadence = c.exercise.Find(zendrik::SeriesKind::Cadence);
        const std::size_t n = c.exercise.SampleCount();
        // The families without samples get no invented records.
        ASSERT_EQ(f["records"].size(), n);
        ASSERT_EQ(f["garmin"]["records"].get<std::size_t>(), n);
        const std::vector<double> distances = ExpectedDistances(c.exercise);
        for (std::size_t i = 0; i < n; ++i) {
            const json& r = f["records"][i];
            EXPECT_EQ(r["timestamp"],
                      c.startUtc + static_cast<std::int64_t>(i) * c.exercise.intervalSeconds);
            if (hr->values[i] == 0) {
                EXPECT_FALSE(r.contains("heart_rate")) << "sample " << i << " had no contact";
            } else {
                EXPECT_EQ(r["heart_rate"], hr->values[i]) << i;
            }
            if (speed) {
                EXPECT_NEAR(r["speed"].get<double>(), speed->values[i] / 36.0, 0.001) << i;
                EXPECT_NEAR(r["distance"].get<double>(), distances[i], 0.01) << i;
            }
            if (cadence) {
                EXPECT_EQ(r["cadence"], cadence->values[i]) << i;
            }
        }
    }
}

TEST_F(ExportReaders, FitLapsSessionAndActivityCarryTheExercise) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const json& f = Read(c.name + ".fit");
        ASSERT_FALSE(f.contains("error")) << f["error"];
        const std::vector<ExpectedLap> laps = ExpectedLaps(c.exercise);
        ASSERT_EQ(f["laps"].size(), laps.size());
        for (std::size_t j = 0; j < laps.size(); ++j) {
            const json& l = f["laps"][j];
            EXPECT_NEAR(l["start_time"].get<double>(), c.startUtc + laps[j].start, 0.5) << j;
            EXPECT_DOUBLE_EQ(l["total_elapsed_time"].get<double>(), laps[j].length) << j;
            if (laps[j].avgHr) {
                EXPECT_EQ(l["avg_heart_rate"], *laps[j].avgHr) << j;
            }
            if (laps[j].maxHr) {
                EXPECT_EQ(l["max_heart_rate"], *laps[j].maxHr) << j;
            }
            if (laps[j].distance) {
                EXPECT_DOUBLE_EQ(l["total_distance"].get<double>(), *laps[j].distance) << j;
            } else {
                EXPECT_FALSE(l.contains("total_distance")) << j;
            }
        }
        ASSERT_EQ(f["sessions"].size(), 1u);
        const json& s = f["sessions"][0];
        EXPECT_EQ(s["start_time"], c.startUtc);
        EXPECT_EQ(s["sport"], c.fitSport);
        EXPECT_EQ(s["num_laps"], laps.size());
        EXPECT_DOUBLE_EQ(s["total_elapsed_time"].get<double>(), c.exercise.duration / 10.0);
        if (c.exercise.avgHr) {
            EXPECT_EQ(s["avg_heart_rate"], *c.exercise.avgHr);
        }
        if (c.exercise.maxHr) {
            EXPECT_EQ(s["max_heart_rate"], *c.exercise.maxHr);
        }
        if (c.exercise.caloriesTenths) {
            EXPECT_EQ(s["total_calories"], Kilocalories(c.exercise));
        }
        if (c.exercise.distanceMeters) {
            EXPECT_DOUBLE_EQ(s["total_distance"].get<double>(), *c.exercise.distanceMeters);
        }
        if (c.exercise.avgSpeed) {
            EXPECT_NEAR(s["avg_speed"].get<double>(), *c.exercise.avgSpeed / 36.0, 0.001);
        }
        if (c.exercise.maxCadence) {
            EXPECT_EQ(s["max_cadence"], *c.exercise.maxCadence);
        }

        const json& events = f["events"];
        ASSERT_GE(events.size(), 2u);
        EXPECT_EQ(events.front()["event_type"], "start");
        EXPECT_EQ(events.back()["event_type"], "stop_all");
        EXPECT_EQ(events.front()["timestamp"], c.startUtc);
        ASSERT_EQ(f["activity"].size(), 1u);
        const json& a = f["activity"][0];
        EXPECT_EQ(a["local_timestamp"].get<std::int64_t>() - a["timestamp"].get<std::int64_t>(),
                  c.offsetAtEnd);
        EXPECT_EQ(a["timestamp"], s["timestamp"]);
    }
}

TEST_F(ExportReaders, FitTimeInZoneCarriesTheWatchZonesOfTheSession) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const json& f = Read(c.name + ".fit");
        ASSERT_FALSE(f.contains("error")) << f["error"];
        const json expected = json::parse(c.timeInZones);
        const json& read = f["timeInZones"];
        const json& garmin = f["garmin"]["timeInZones"];
        ASSERT_EQ(read.size(), expected.size());
        ASSERT_EQ(garmin.size(), expected.size());
        for (std::size_t k = 0; k < expected.size(); ++k) {
            EXPECT_EQ(read[k]["reference_mesg"], "session");
            EXPECT_EQ(garmin[k]["referenceMesg"], "session");
            EXPECT_EQ(garmin[k]["referenceIndex"], 0);
            EXPECT_EQ(read[k]["hr_zone_high_boundary"], expected[k]["high"]) << k;
            EXPECT_EQ(garmin[k]["hrZoneHighBoundary"], expected[k]["high"]) << k;
            EXPECT_EQ(read[k]["time_in_hr_zone"], expected[k]["seconds"]) << k;
            EXPECT_EQ(garmin[k]["timeInHrZone"], expected[k]["seconds"]) << k;
        }
    }
}

TEST_F(ExportReaders, TcxLapsAndTrackpointsCarryTheExercise) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const json& t = Read(c.name + ".tcx");
        ASSERT_FALSE(t.contains("error")) << t["error"];
        EXPECT_EQ(t["activities"], 1);
        EXPECT_EQ(t["sport"], c.tcxSport);
        EXPECT_EQ(t["id"], c.startUtc);
        if (!c.exercise.name.empty()) {
            EXPECT_EQ(t["notes"], c.exercise.name);
        }
        const std::vector<ExpectedLap> laps = ExpectedLaps(c.exercise);
        ASSERT_EQ(t["laps"].size(), laps.size());
        const auto* hr = c.exercise.Find(zendrik::SeriesKind::HeartRate);
        const auto* speed = c.exercise.Find(zendrik::SeriesKind::Speed);
        const std::vector<double> distances = ExpectedDistances(c.exercise);
        std::size_t sample = 0;
        std::int64_t calories = 0;
        for (std::size_t j = 0; j < laps.size(); ++j) {
            const json& l = t["laps"][j];
            EXPECT_NEAR(l["startTime"].get<double>(), c.startUtc + laps[j].start, 0.5) << j;
            EXPECT_DOUBLE_EQ(l["totalTimeSeconds"].get<double>(), laps[j].length) << j;
            EXPECT_DOUBLE_EQ(l["distanceMeters"].get<double>(), laps[j].distance.value_or(0)) << j;
            if (laps[j].avgHr) {
                EXPECT_EQ(l["avgHr"], *laps[j].avgHr) << j;
            }
            if (laps[j].maxHr) {
                EXPECT_EQ(l["maxHr"], *laps[j].maxHr) << j;
            }
            EXPECT_EQ(l["intensity"], "Active");
            calories += l["calories"].get<std::int64_t>();
            // Without samples a lap has no Track at all: an empty one would not be valid.
            if (l["trackpoints"].empty()) {
                EXPECT_EQ(l["tracks"], 0) << j;
            }
            for (const json& p : l["trackpoints"]) {
                EXPECT_EQ(p["time"], c.startUtc + static_cast<std::int64_t>(sample) *
                                                      c.exercise.intervalSeconds);
                if (hr->values[sample] == 0) {
                    EXPECT_FALSE(p.contains("hr")) << sample;
                } else {
                    EXPECT_EQ(p["hr"], hr->values[sample]) << sample;
                }
                if (speed) {
                    EXPECT_NEAR(p["speed"].get<double>(), speed->values[sample] / 36.0, 0.001);
                    EXPECT_NEAR(p["distance"].get<double>(), distances[sample], 0.01) << sample;
                }
                ++sample;
            }
        }
        EXPECT_EQ(sample, c.exercise.SampleCount());
        EXPECT_EQ(calories, Kilocalories(c.exercise));
    }
}

TEST_F(ExportReaders, TcxFilesAreValidAgainstTheSchema) {
    const std::filesystem::path schema =
        std::filesystem::path(ZENDRIK_NPM_DIR) / "GarminTrainingCenterDatabase_v2.xsd";
    const std::string xmllint = ZENDRIK_XMLLINT;
    if (xmllint.empty() || !std::filesystem::exists(schema)) {
        GTEST_SKIP() << "xmllint, or " << schema << ", not found (see the export_readers_install test)";
    }
    for (const Case& c : Cases()) {
        const testing_streams::ProcessResult lint = testing_streams::RunProcess(
            xmllint, {"--noout", "--schema", schema.string(), (dir_ / (c.name + ".tcx")).string()});
        EXPECT_EQ(lint.exitCode, 0) << c.name << ": " << lint.err;
    }
}

TEST_F(ExportReaders, AutomaticLapsAreMarkedAsSuchInBothFormats) {
    const json& fit = Read("rs200_run.fit");
    const json& tcx = Read("rs200_run.tcx");
    const std::vector<std::string> fitTriggers = {"manual", "distance", "manual"};
    const std::vector<std::string> tcxTriggers = {"Manual", "Distance", "Manual"};
    for (std::size_t j = 0; j < 3; ++j) {
        EXPECT_EQ(fit["laps"][j]["lap_trigger"], fitTriggers[j]) << j;
        EXPECT_EQ(tcx["laps"][j]["trigger"], tcxTriggers[j]) << j;
    }
}

}  // namespace
