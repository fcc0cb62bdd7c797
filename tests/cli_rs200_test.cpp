// zendrik-cli end to end with RS200 and CS200 transfers: dumps and recordings in, the three
// report texts out.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/cli_support.h"
#include "support/golden.h"
#include "support/rs200_stream_builder.h"

using namespace zendrik;

using namespace testing_streams;

namespace {

RunValues LongRun() {
    RunValues v;
    for (int n = 1; n <= 30; ++n) {
        v.laps.push_back(
            {{0, 3 * n, n % 60, n % 10}, n % 4 == 0, 150 + n, 140 + n, 160 + n, 3000, 3050, 95 * n});
    }
    return v;
}

RideValues ShortRide() {
    RideValues v;
    v.laps = {{{0, 30, 15, 5}, false, 140, 130, 251, 88, 85, 123},
              {{1, 0, 2, 0}, true, 150, 142, 262, 90, 86, 250}};
    return v;
}

// The three texts of the input match the golden files NAME.hrm, NAME-compat.hrm and NAME.csv (the
// CSV text with TABs, as the report tests have it).
void ExpectAllFormats(const std::string& input, const std::string& name,
                      const std::vector<std::string>& model = {}) {
    auto run = [&](const std::string& format) {
        std::vector<std::string> args = model;
        args.insert(args.end(), {"--format", format, "--csv-separator", "tab", input});
        ProcessResult result = Cli(args);
        EXPECT_EQ(result.exitCode, 0) << format << ": " << result.err;
        return result.out;
    };
    EXPECT_GOLDEN(name + ".hrm", run("hrm"));
    EXPECT_GOLDEN(name + "-compat.hrm", run("hrm-compat"));
    EXPECT_GOLDEN(name + ".csv", run("csv"));
}

}  // namespace

TEST(Rs200Cli, DumpsOfBothKindsGiveTheirThreeTexts) {
    const std::vector<std::uint8_t> run = BuildRs200Stream(LongRun());
    ExpectAllFormats(WriteDump(run, "run.sld"), "cli-rs200-run");

    const std::string dump = WriteDump(BuildCs200Stream(ShortRide()), "ride.sld");
    ExpectAllFormats(dump, "cs200-ride");

    const std::string target = TempPath("ride-compat.hrm");
    EXPECT_EQ(Cli({"--format", "hrm-compat", "-o", target, dump}).exitCode, 0);
    EXPECT_GOLDEN("cs200-ride-compat.hrm", ReadFile(target));
}

TEST(Rs200Cli, RecordingsDecodeAsRs200WithModelFour) {
    for (const auto& [bytes, name] : {std::pair{BuildRs200Stream(LongRun()), "cli-rs200-run"},
                                      std::pair{BuildCs200Stream(ShortRide()), "cs200-ride"}}) {
        const std::string dump = WriteDump(bytes, "sent.sld");
        const std::string wav = TempPath("sent.wav");
        ASSERT_EQ(Cli({"--synthesize", wav, dump}).exitCode, 0);
        EXPECT_EQ(Cli({"--model", "4", "--format", "sld", wav}).out, ReadFile(dump));
        ExpectAllFormats(wav, name, {"--model", "4"});
    }
}

// Its blocks carry no checksum, so bytes that neither receiver could vouch for (a head that does
// not check out, blocks that never arrived) are shown with what is wrong, but are no exercise.
TEST(Rs200Cli, ARecordingNoReceiverVouchesForIsNotValid) {
    std::vector<std::uint8_t> badHead = BuildRs200Stream(LongRun());
    SetRsStoredCrc(badHead, 0x1234);
    std::vector<std::uint8_t> cut = BuildCs200Stream(ShortRide());
    cut.resize(cut.size() - 100);
    for (const auto& bytes : {badHead, cut}) {
        const std::string wav = TempPath("unvouched.wav");
        ASSERT_EQ(Cli({"--synthesize", wav, WriteDump(bytes, "unvouched.sld")}).exitCode, 0);
        const ProcessResult got = Cli({"--model", "4", wav});
        EXPECT_EQ(got.exitCode, 3) << got.err;
        EXPECT_EQ(got.out, "");
        EXPECT_NE(got.err.find("[Params]"), std::string::npos) << got.err;
    }
}

TEST(Rs200Cli, SoundHeadIsEnoughForAValidReport) {
    // A damaged head checksum is reported in the Enhanced and CSV texts, which are still valid.
    std::vector<std::uint8_t> bytes = BuildRs200Stream(LongRun());
    SetRsStoredCrc(bytes, 0x1234);
    const std::string dump = WriteDump(bytes, "crc.sld");
    ProcessResult hrm = Cli({dump});
    EXPECT_EQ(hrm.exitCode, 0);
    EXPECT_EQ(hrm.out.rfind("CRC Error Block 0: BlockCRC: 1234, expected: ", 0), 0u) << hrm.out;
    // The compatible text has no place for the message; the CSV text begins with it too.
    EXPECT_GOLDEN("cli-rs200-run-compat.hrm", Cli({"--format", "hrm-compat", dump}).out);
    const std::string csv = Cli({"--format", "csv", "--csv-separator", "tab", dump}).out;
    const std::string message = hrm.out.substr(0, hrm.out.find("\r\n") + 2);
    EXPECT_EQ(csv.rfind(message, 0), 0u) << csv;
    EXPECT_GOLDEN("cli-rs200-run.csv", csv.substr(message.size()));

    // Twenty bytes name the model but carry no report: nothing that could be saved.
    bytes.resize(20);
    ProcessResult tiny = Cli({WriteDump(bytes, "tiny.sld")});
    EXPECT_EQ(tiny.exitCode, 3);
    EXPECT_EQ(tiny.out, "");
    EXPECT_EQ(std::count(tiny.err.begin(), tiny.err.end(), '\n'), 1) << tiny.err;
}

TEST(Rs200Cli, ReportsDoNotFollowTheUsersLocale) {
    const std::vector<std::uint8_t> bytes = BuildCs200Stream(ShortRide());
    const std::string dump = WriteDump(bytes, "ride-de.sld");
    const std::vector<std::string> german = {"LC_ALL=de_DE.UTF-8", "LANG=de_DE.UTF-8"};
    ProcessResult hrm = Cli({dump}, german);
    EXPECT_GOLDEN("cs200-ride.hrm", hrm.out);
    EXPECT_GOLDEN("cs200-ride-compat.hrm", Cli({"--format", "hrm-compat", dump}, german).out);
}
