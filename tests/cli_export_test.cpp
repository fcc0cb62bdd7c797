// zendrik-cli's JSON output, byte for byte, the names of exported files and the refusals around
// FIT, TCX and JSON (tests/export reads the FIT and TCX files it writes with readers of their own).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "support/cli_support.h"
#include "support/golden.h"
#include "support/rs200_stream_builder.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

using namespace testing_streams;

namespace {

S410Values S410In(int year) {
    S410Values v;
    v.current.date.year = year;
    v.hr = {100, 110, 0, 120};
    return v;
}

RunValues RunWithLaps() {
    RunValues v;
    v.laps = {{{0, 20, 10, 0}, false, 150, 145, 160, 3000, 3100, 400},
              {{0, 42, 17, 3}, true, 170, 160, 178, 2900, 3050, 812}};
    return v;
}

}  // namespace

TEST(CliExport, JsonIsTheWholeTransferAndFilesAreNamedByTheirType) {
    const std::vector<std::uint8_t> run = BuildRs200Stream(RunWithLaps());
    // A valid RS200 head whose block CRC fails: the transfer stands, and says what the check found.
    std::vector<std::uint8_t> flawed = run;
    SetRsStoredCrc(flawed, static_cast<std::uint16_t>(RsHeadCrc(flawed) ^ 1));
    const ProcessResult json = Cli({"--format", "json", WriteDump(flawed, "flawed.sld")});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    EXPECT_GOLDEN("cli-rs200-run-flawed.json", json.out);

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
    EXPECT_EQ(invalid.err, "CRC Error Block 2: BlockCRC: A156, expected: A157\r\nLength Check failed!\r\n");
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
    std::vector<std::string> files;
    const auto write = [&](const std::string& name, const std::string& dump) {
        const ProcessResult r = Cli({"--format", "json", "-o", TempPath(name), dump});
        EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
        files.push_back(TempPath(name));
        return nlohmann::json::parse(ReadFile(files.back()), nullptr, false);
    };
    const std::string dates = WriteDump(BuildS410Stream(v).bytes, "dates.sld");
    const nlohmann::json built = write("dates.json", dates);
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

    // The exercise's month 13 and the earlier exercises' dates: null starts beside the digits.
    EXPECT_GOLDEN("cli-s410-dates.json", ReadFile(files[0]));
    // The issue's own example, and the HRM text keeps the digits.
    EXPECT_EQ(phone["exercise"]["earlier"][0]["startAsSent"], "2085-06-38T10:83:82");
    EXPECT_EQ(phone["exercise"]["earlier"][4]["empty"], true);
    EXPECT_NE(Cli({dates}).out.find("Date=20061305\r\n"), std::string::npos);
}
