// zendrik-cli's FIT, TCX and JSON output: the same bytes the writers make of the decoded
// exercise, in the zone asked for, and the refusals around them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include <nlohmann/json.hpp>

#include "formats/fit_writer.h"
#include "formats/json_writer.h"
#include "formats/tcx_writer.h"
#include "document/document.h"
#include "support/cli_support.h"
#include "support/coach_stream_builder.h"
#include "support/rs200_stream_builder.h"
#include "support/s410_stream_builder.h"

using namespace testing_streams;

namespace {

S410Values S510Ride() {
    S410Values v;
    v.s510 = true;
    v.flags = 0x35;
    for (int i = 0; i < 40; ++i) {
        v.hr.push_back(i % 9 == 4 ? 0 : 120 + i);
        v.speed.push_back(50 + i % 5);
        v.cadence.push_back(85 + i % 3);
    }
    v.current.length = {0, 20, 0, 5};
    v.laps = {{{0, 10, 0, 5}, 140, 130, 150, 30}, {{0, 20, 0, 0}, 150, 140, 159, 31}};
    return v;
}

S410Values S410In(int year) {
    S410Values v;
    v.current.date.year = year;
    v.hr = {100, 110, 0, 120};
    return v;
}

CoachValues Coach() {
    CoachValues v;
    for (int i = 0; i < 24; ++i) v.hr.push_back(110 + i);
    v.laps = {{{0, 12, 0, 0}, 130, 125, 140, 0}};
    return v;
}

RunValues RunWithLaps() {
    RunValues v;
    v.laps = {{{0, 20, 10, 0}, false, 150, 145, 160, 3000, 3100, 400},
              {{0, 42, 17, 3}, true, 170, 160, 178, 2900, 3050, 812}};
    return v;
}

RideValues RideWithLap() {
    RideValues v;
    v.laps = {{{0, 30, 15, 5}, false, 140, 130, 251, 88, 85, 123}};
    return v;
}

struct Family {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

std::vector<Family> Families() {
    return {{"s510", BuildS410Stream(S510Ride()).bytes},
            {"s410", BuildS410Stream(S410In(2006)).bytes},
            {"coach", BuildCoachStream(Coach()).bytes},
            {"rs200", BuildRs200Stream(RunWithLaps())},
            {"cs200", BuildCs200Stream(RideWithLap())}};
}

Document& DecodedIn(Document& data, const std::vector<std::uint8_t>& bytes) {
    data.DecodeBytes(ToReceived(bytes), ModelBy::StreamHead);
    return data;
}

zendrik::TimeZone Zone(const char* name) {
    return zendrik::TimeZone::Named(name).value_or(zendrik::TimeZone::Utc());
}

}  // namespace

TEST(CliExport, EachFamilyAsTheWritersMakeItOfTheDecodedExercise) {
    const zendrik::TimeZone berlin = Zone("Europe/Berlin");
    const zendrik::TimeZone newYork = Zone("America/New_York");
    ASSERT_EQ(berlin.Name(), "Europe/Berlin");
    for (const Family& f : Families()) {
        SCOPED_TRACE(f.name);
        const std::string dump = WriteDump(f.bytes, "export-" + f.name + ".sld");
        Document data;
        ASSERT_TRUE(DecodedIn(data, f.bytes).ValidExercise());
        const zendrik::Exercise& e = *data.ValidExercise();

        const struct {
            std::vector<std::string> args;
            std::vector<std::string> env;
            std::string expected;
        } runs[] = {
            {{"--format", "fit", "--timezone", "Europe/Berlin"}, {}, zendrik::WriteFit(e, berlin).data},
            {{"--format=tcx", "--timezone=Europe/Berlin"}, {}, zendrik::WriteTcx(e, berlin).data},
            // Without --timezone the computer's zone counts, which TZ names.
            {{"--format", "fit"}, {"TZ=America/New_York"}, zendrik::WriteFit(e, newYork).data},
            {{"--format", "json"}, {}, zendrik::WriteJson(data.DecodedTransfer())},
        };
        for (const auto& run : runs) {
            ASSERT_FALSE(run.expected.empty());
            std::vector<std::string> args = run.args;
            args.push_back(dump);
            const ProcessResult result = Cli(args, run.env);
            EXPECT_EQ(result.exitCode, 0) << run.args[1] << ": " << result.err;
            EXPECT_TRUE(result.out == run.expected) << run.args[1] << " differs";
            EXPECT_EQ(result.err, "");
        }
    }
}

TEST(CliExport, JsonIsTheWholeTransferAndFilesAreNamedByTheirType) {
    const std::vector<std::uint8_t> run = BuildRs200Stream(RunWithLaps());
    // A valid RS200 head whose block CRC fails: the transfer stands, and says what the check found.
    std::vector<std::uint8_t> flawed = run;
    SetRsStoredCrc(flawed, static_cast<std::uint16_t>(RsHeadCrc(flawed) ^ 1));
    Document data;
    const zendrik::Transfer transfer = DecodedIn(data, flawed).DecodedTransfer();
    ASSERT_TRUE(transfer.valid);
    ASSERT_EQ(transfer.checkMessages.size(), 1u);
    EXPECT_EQ(transfer.checkMessages[0].rfind("CRC Error Block 0", 0), 0u) << transfer.checkMessages[0];
    const ProcessResult json = Cli({"--format", "json", WriteDump(flawed, "flawed.sld")});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    EXPECT_NE(json.out.find("\"checkMessages\": [\n    \"CRC Error Block 0"), std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("\"family\": \"RS200\""), std::string::npos);

    const std::filesystem::path folder = TempPath("export-folder");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string dump = WriteDump(run, "named.sld");
    for (const char* format : {"fit", "tcx", "json", "fit"}) {
        const ProcessResult r = Cli({"--format", format, "-o", folder.string() + "/", dump});
        EXPECT_EQ(r.exitCode, 0) << r.err;
    }
    for (const char* name : {"20070315.fit", "20070315.tcx", "20070315.json"}) {
        EXPECT_TRUE(std::filesystem::exists(folder / name)) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "20070315-2.fit"));  // the same bytes again
}

TEST(CliExport, RefusalsWriteNothing) {
    const std::string target = TempPath("refused.fit");
    std::filesystem::remove(target);
    const std::string dump = WriteDump(BuildS410Stream(S410In(2006)).bytes, "refusals.sld");

    ProcessResult unknown = Cli({"--format", "fit", "--timezone", "Mars/Olympus", "-o", target, dump});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unknown time zone 'Mars/Olympus'"), std::string::npos) << unknown.err;
    EXPECT_NE(unknown.err.find("--help"), std::string::npos);
    // Where no zone is used, --timezone is only warned about.
    ProcessResult ignored = Cli({"--format", "json", "--timezone", "Mars/Olympus", dump});
    EXPECT_EQ(ignored.exitCode, 0);
    EXPECT_NE(ignored.err.find("--timezone applies to"), std::string::npos) << ignored.err;

    // FIT starts in 1998: an exercise of 1995 is refused with the writer's reason; TCX takes it.
    const std::string old = WriteDump(BuildS410Stream(S410In(1995)).bytes, "old.sld");
    ProcessResult early = Cli({"--format", "fit", "-o", target, old});
    EXPECT_EQ(early.exitCode, 1);
    EXPECT_NE(early.err.find("cannot be written as FIT: FIT files carry dates from 1998"),
              std::string::npos)
        << early.err;
    EXPECT_EQ(Cli({"--format", "tcx", old}).exitCode, 0);

    // An invalid transfer exits 3 whatever the format, with its error lines.
    Stream broken = BuildS410Stream(S410In(2006));
    BreakChecksum(broken, 1);
    const std::string json = TempPath("refused.json");
    std::filesystem::remove(json);
    ProcessResult invalid = Cli({"--format", "json", "-o", json, WriteDump(broken.bytes, "b.sld")});
    EXPECT_EQ(invalid.exitCode, 3);
    EXPECT_EQ(invalid.err, Decoded(broken.bytes).hrm);
    EXPECT_FALSE(std::filesystem::exists(json));

    // A terminal as standard output would show FIT's bytes as garbage: refused before reading.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    ProcessStreams terminal;
    terminal.output = ptsname(master);
    ProcessResult toTerminal = CliWith(terminal, {"--format", "fit", dump});
    EXPECT_EQ(toTerminal.exitCode, 2);
    EXPECT_NE(toTerminal.err.find("terminal"), std::string::npos) << toTerminal.err;
    EXPECT_EQ(CliWith(terminal, {"--format", "fit", "-o", target, dump}).exitCode, 0);
    close(master);
}

// Python's own ISO 8601 reader takes every "start" the JSON holds, from a stream whose watch sent
// dates that do not exist and from the bundled samples: each is a local time it reads back as it
// stands, or null with the watch's digits beside it.
TEST(CliExport, JsonStartsAreLocalTimesOrNullBesideTheDigitsAsSent) {
    const std::string python = ZENDRIK_PYTHON;
    if (python.empty()) GTEST_SKIP() << "python3 is not installed";
    S410Values v = S410In(2006);
    v.current.date.month = 13;
    const Summary empty{false, "", {}, {2000, 0, 0}, {}, 0, 0};
    v.earlier = {Summary{},
                 Summary{true, "Run", {10, 59, 59, 0}, {2085, 6, 38}, {1, 0, 0, 0}, 140, 170},
                 Summary{true, "Late", {24, 0, 0, 0}, {2007, 2, 28}, {0, 1, 0, 0}, 0, 0},
                 Summary{true, "Leap", {23, 59, 59, 0}, {2008, 2, 29}, {0, 1, 0, 0}, 0, 0}, empty};
    const struct {
        const char* start;  // nullptr: null
        const char* asSent;
        bool empty;
    } expected[] = {{"2006-03-05T07:30:15", nullptr, false},
                    {nullptr, "2085-06-38T10:59:59", false},
                    {nullptr, "2007-02-28T24:00:00", false},
                    {"2008-02-29T23:59:59", nullptr, false},
                    {nullptr, "2000-00-00T00:00:00", true}};

    std::vector<std::string> files;
    const auto write = [&](const std::string& name, const std::string& dump) {
        const ProcessResult r = Cli({"--format", "json", "-o", TempPath(name), dump});
        EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
        files.push_back(TempPath(name));
        return nlohmann::json::parse(ReadFile(files.back()), nullptr, false);
    };
    const nlohmann::json built = write("dates.json", WriteDump(BuildS410Stream(v).bytes, "dates.sld"));
    const nlohmann::json phone = write("phone.json", std::string(ZENDRIK_SAMPLES_DIR) + "/s410-phone.sld");
    write("ride.json", std::string(ZENDRIK_SAMPLES_DIR) + "/s510-ride.sld");
    ASSERT_FALSE(built.is_discarded() || phone.is_discarded());

    const char* check = R"(
import datetime, json, sys
def walk(v):
    if isinstance(v, list):
        return sum(walk(x) for x in v)
    if not isinstance(v, dict):
        return 0
    n = 0
    if "start" in v:
        s = v["start"]
        if s is None:
            assert isinstance(v["startAsSent"], str), v
        else:
            assert datetime.datetime.fromisoformat(s).isoformat() == s, s
            assert "startAsSent" not in v, v
        n = 1
    return n + sum(walk(x) for x in v.values())
print(sum(walk(json.load(open(path))) for path in sys.argv[1:]))
)";
    std::vector<std::string> args = {"-c", check};
    args.insert(args.end(), files.begin(), files.end());
    const ProcessResult read = testing_streams::RunProcess(python, args);
    EXPECT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.out, "18\n");  // three exercises with five earlier ones each

    const nlohmann::json& x = built["exercise"];
    EXPECT_EQ(built["schemaVersion"], 2);
    EXPECT_TRUE(x["start"].is_null());
    EXPECT_EQ(x["startAsSent"], "2006-13-05T07:30:15");
    ASSERT_EQ(x["earlier"].size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        const nlohmann::json& e = x["earlier"][i];
        EXPECT_EQ(e["start"], expected[i].start ? nlohmann::json(expected[i].start) : nlohmann::json())
            << i;
        EXPECT_EQ(e.value("startAsSent", ""), expected[i].asSent ? expected[i].asSent : "") << i;
        EXPECT_EQ(e["empty"], expected[i].empty) << i;
    }
    // The issue's own example, and the HRM text keeps the digits.
    EXPECT_EQ(phone["exercise"]["earlier"][0]["startAsSent"], "2085-06-38T10:83:82");
    EXPECT_EQ(phone["exercise"]["earlier"][4]["empty"], true);
    EXPECT_NE(Decoded(BuildS410Stream(v).bytes).hrm.find("Date=20061305\r\n"), std::string::npos);
}
