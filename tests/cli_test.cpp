// zendrik-cli end to end: recordings and dumps in, report bytes and exit codes out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/reading_progress.h"
#include "decoders/families.h"
#include "reception/live_decoder.h"
#include "reception/modulator.h"
#include "reception/wave_writer.h"
#include "support/cli_support.h"
#include "support/golden.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

using namespace testing_streams;

namespace {

S410Values Ride() {
    S410Values v;
    v.s510 = true;
    v.flags = 0x35;
    for (int i = 0; i < 40; ++i) {
        v.hr.push_back(120 + i);
        v.speed.push_back(50 + i % 5);
        v.cadence.push_back(85 + i % 3);
    }
    v.current.length = {0, 20, 0, 5};
    v.laps = {{{0, 10, 0, 5}, 140, 130, 150, 30}, {{0, 20, 0, 0}, 150, 140, 159, 31}};
    v.earlier.resize(5);
    return v;
}

}  // namespace

TEST(Cli, DumpGivesTheReportTextsByteForByte) {
    const Stream stream = BuildS410Stream(Ride());
    const std::string dump = WriteDump(stream.bytes, "ride.sld");

    ProcessResult hrm = Cli({dump});
    EXPECT_EQ(hrm.exitCode, 0) << hrm.err;
    EXPECT_GOLDEN("cli-s510-ride.hrm", hrm.out);
    EXPECT_TRUE(hrm.err.empty());

    // The CSV file as saved: semicolons by default; a comma separator quotes the fields that hold
    // commas, such as the note line; a TAB is every semicolon of the default one.
    const std::string csv = Cli({"--format", "csv", dump}).out;
    EXPECT_GOLDEN("cli-s510-ride.csv", csv);
    EXPECT_GOLDEN("cli-s510-ride-comma.csv",
                  Cli({"--format=csv", "--csv-separator", "comma", dump}).out);
    std::string tabs = csv;
    std::replace(tabs.begin(), tabs.end(), ';', '\t');
    EXPECT_EQ(Cli({"--format", "csv", "--csv-separator", "tab", dump}).out, tabs);
    EXPECT_EQ(Cli({"--format", "sld", dump}).out, ReadFile(dump));

    // The S410/S510 has no compatible form: asking for it is a mistake, and nothing is written.
    const std::string target = TempPath("compat.hrm");
    std::filesystem::remove(target);
    ProcessResult compat = Cli({"--format", "hrm-compat", "-o", target, dump});
    EXPECT_EQ(compat.exitCode, 2);
    EXPECT_NE(compat.err.find("RS200/CS200"), std::string::npos) << compat.err;
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST(Cli, SynthesizedRecordingDecodesLikeItsDump) {
    const Stream stream = BuildS410Stream(Ride());
    const std::string dump = WriteDump(stream.bytes, "ride2.sld");
    const std::string wav = TempPath("ride2.WAV");  // the type test ignores case
    ASSERT_EQ(Cli({"--synthesize", wav, dump}).exitCode, 0);

    EXPECT_EQ(Cli({"--format", "sld", wav}).out, ReadFile(dump));
    EXPECT_GOLDEN("cli-s510-ride.hrm", Cli({wav}).out);
    // The model chosen for a recording only sets the bit timing for an S410/S510 stream.
    EXPECT_GOLDEN("cli-s510-ride.hrm", Cli({"--model", "3", wav}).out);
}

TEST(Cli, ValueFormatOptionsRenderTheCsvText) {
    const Stream stream = BuildS410Stream(Ride());
    const std::string dump = WriteDump(stream.bytes, "ride3.sld");

    ProcessResult out = Cli({"--format", "csv", "--csv-separator", "tab", "--value-format", "custom",
                             "--decimal", ",", "--time", "-", "--date", "/", "--no-tenths", dump});
    EXPECT_EQ(out.exitCode, 0) << out.err;
    EXPECT_GOLDEN("cli-s510-ride-custom.csv", out.out);

    // The user's locale decides the regional separators; the HRM text never changes with it.
    const std::vector<std::string> german = {"LC_ALL=de_DE.UTF-8", "LANG=de_DE.UTF-8"};
    ProcessResult regional = Cli({"--format", "csv", "--value-format", "regional", dump}, german);
    EXPECT_EQ(regional.exitCode, 0) << regional.err;
    EXPECT_NE(regional.out.find("Calories;654,3\r\n"), std::string::npos) << regional.out;
    EXPECT_NE(regional.out.find("Date;05.03.2006\r\n"), std::string::npos);
    const std::vector<std::string> american = {"LC_ALL=en_US.UTF-8", "LANG=en_US.UTF-8"};
    regional = Cli({"--format", "csv", "--value-format", "regional", dump}, american);
    EXPECT_NE(regional.out.find("Date;05/03/2006\r\n"), std::string::npos) << regional.out;
    EXPECT_NE(regional.out.find("StartTime;07:30:15.0\r\n"), std::string::npos);
    EXPECT_GOLDEN("cli-s510-ride.hrm", Cli({dump}, german).out);
}

TEST(Cli, BrokenTransferExitsThreeWithTheErrorLinesOnly) {
    Stream stream = BuildS410Stream(Ride());
    BreakChecksum(stream, 2);
    const std::string dump = WriteDump(stream.bytes, "broken.sld");
    const std::string target = TempPath("never-written.hrm");
    std::filesystem::remove(target);

    ProcessResult result = Cli({"-o", target, dump});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.out, "");
    // The stored checksum of block 3 with its lowest bit flipped, and the length check after it.
    EXPECT_EQ(result.err, "CRC Error Block 3: BlockCRC: B7E9, expected: B7E8\r\nLength Check failed!\r\n");
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST(Cli, InputsThatCannotBeReadOrNameNoModel) {
    const Stream stream = BuildS410Stream(Ride());
    std::vector<std::uint8_t> unnamed = stream.bytes;
    unnamed[6] = 2;  // no watch family sends this model byte
    EXPECT_EQ(Cli({WriteDump(unnamed, "unnamed.sld")}).exitCode, 4);

    EXPECT_EQ(Cli({TempPath("missing.sld")}).exitCode, 1);
    EXPECT_EQ(Cli({TempPath("missing.wav")}).exitCode, 1);
    EXPECT_EQ(Cli({WriteDump(stream.bytes, "ride.wave")}).exitCode, 1);
    EXPECT_EQ(Cli({WriteDump(stream.bytes, "no-extension")}).exitCode, 1);
    // A dump is not a RIFF file: rejected as a recording.
    EXPECT_EQ(Cli({WriteDump(stream.bytes, "dump-named.wav")}).exitCode, 1);
}

TEST(Cli, UsageErrorsExitTwoWithAHint) {
    const std::string dump = WriteDump(BuildS410Stream(Ride()).bytes, "usage.sld");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"--model", "5", dump},
             {"--model", "x", dump},
             {"--format", "pdf", dump},
             {"--bogus", dump},
             {"--decimal", ",", dump},  // only with custom separators
             {"--value-format", "custom", "--decimal", ",,", dump},
             {"--format", "csv", "--csv-separator", "comma", "--value-format", "custom", "--decimal",
              ",", dump},
             {dump, dump},  // several INPUTs need a folder for their reports
             {"-o", dump + ".hrm", dump, dump},
             {"-o", "a.hrm", "-o", "b.hrm", dump},
             {"--output=a.hrm", "-o", "a.hrm", dump},
             {"-", "--", "-"},
             {"--synthesize", "a.wav", "--synthesize", "b.wav", dump},
             {"--synthesize", "a.wav", dump, dump},
             {"--synthesize", "folder/", dump},
             {"--plot", "a.png", dump, dump},  // a picture is of one exercise
             {"--plot", "a.png", "--microphone"},
             {"--plot", "a.png", "--synthesize", "a.wav", dump},
             {"--plot", "a.png", "--plot", "b.png", dump},
             {"--plot", "a.png", "--plot-size", "1200", dump},
             {"--plot", "a.png", "--plot-size", "12x9000", dump},
             {"--plot", "a.png", "--plot-size", "x600", dump},
             {"--plot", "a.png", "--plot-size", "800x600x2", dump},
         }) {
        ProcessResult result = Cli(args);
        EXPECT_EQ(result.exitCode, 2) << testing::PrintToString(args);
        EXPECT_NE(result.err.find("--help"), std::string::npos);
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
    }
    EXPECT_EQ(Cli({"--help"}).exitCode, 0);
    EXPECT_EQ(Cli({"--version"}).out, "zendrik-cli 1.09 beta 9\n");
}

TEST(Cli, HelpListsTheWatchModelsAsThePropertiesDialogDoes) {
    // The entry of --model, its wrapped lines joined.
    const std::string help = Cli({"--help"}).out;
    std::string entry = help.substr(help.find("\n  --model "));
    entry = entry.substr(0, entry.find("\n  -", 1));
    const std::string wrap = "\n" + std::string(24, ' ');
    for (std::size_t at; (at = entry.find(wrap)) != std::string::npos;) entry.replace(at, wrap.size(), " ");
    // The dialog's list, in its order, each name with its code.
    std::size_t last = 0;
    for (const zendrik::Family* family : zendrik::ListedFamilies()) {
        const std::size_t at = entry.find(std::to_string(family->code) + " " + family->displayName);
        ASSERT_NE(at, std::string::npos) << family->displayName << " in" << entry;
        EXPECT_GT(at, last) << family->displayName;
        last = at;
    }
}

TEST(Cli, OutputFileHoldsExactlyTheReport) {
    const Stream stream = BuildS410Stream(Ride());
    const std::string dump = WriteDump(stream.bytes, "out.sld");
    const std::string target = TempPath("out.csv");
    ProcessResult result = Cli({"--format", "csv", "-o", target, dump});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_GOLDEN("cli-s510-ride.csv", ReadFile(target));
    EXPECT_EQ(Cli({"-o", TempPath("no-such-dir/x.hrm"), dump}).exitCode, 1);
}

TEST(Cli, BundledSampleRecordingDecodesToItsDump) {
    const std::string samples = ZENDRIK_SAMPLES_DIR;
    ProcessResult bytes = Cli({"--format", "sld", samples + "/s510-ride.wav"});
    ASSERT_EQ(bytes.exitCode, 0) << bytes.err;
    EXPECT_EQ(bytes.out, ReadFile(samples + "/s510-ride.sld"));
    EXPECT_EQ(Cli({samples + "/s510-ride.wav"}).out, ReadFile(samples + "/s510-ride.hrm"));
    // The phone-style recording needs the second receiver.
    bytes = Cli({"--format", "sld", "--verbose", samples + "/s410-phone.flac"});
    ASSERT_EQ(bytes.exitCode, 0) << bytes.err;
    EXPECT_EQ(bytes.out, ReadFile(samples + "/s410-phone.sld"));
    EXPECT_NE(bytes.err.find("Receiver: second"), std::string::npos) << bytes.err;
    EXPECT_EQ(Cli({samples + "/s410-phone.flac"}).out, ReadFile(samples + "/s410-phone.hrm"));
}

// A recording that does not decode says on standard error what to do about it, once: on its own
// line without --verbose, in the reception report with it.
TEST(Cli, ARecordingThatDoesNotDecodeGivesTheAdvice) {
    Stream broken = BuildS410Stream(Ride());
    broken.bytes[DataAt(broken, 0, 5)] ^= 0x08;
    const std::string path = TempPath("broken.wav");
    {
        std::ofstream file(path, std::ios::binary);
        ASSERT_TRUE(WriteWaveStream(file, ModulateBytes(broken.bytes, ModulatorSettings{}), 44100));
    }
    for (bool verbose : {false, true}) {
        const ProcessResult result = verbose ? Cli({"--verbose", path}) : Cli({path});
        EXPECT_EQ(result.exitCode, 3);
        EXPECT_EQ(result.out, "");
        const std::size_t at = result.err.find("blocks fail their check: record the transfer again.");
        EXPECT_NE(at, std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("blocks fail their check", at + 1), std::string::npos) << result.err;
    }
}

// zendrik-cli --microphone's progress: on a terminal one line kept in place, ended before any
// other message and at the end; elsewhere a line per state change and per tenth of the bytes.
TEST(Cli, MicrophoneProgressIsOneLineOnATerminalAndShortElsewhere) {
    const std::string advice = "The tone is clear, but 1 of 2 blocks fail their check: record the transfer again.";
    // A reading as the decode thread reports it: a try that breaks, the advice, then the whole
    // transfer in 72 steps.
    auto play = [&](ReadingProgress& progress) {
        progress.Message("listening for an S410 transfer");
        progress.State(kReadingWaiting);
        for (int step = 1; step <= 30; ++step) {
            progress.Progress(step * 9, 624);
            progress.State(kReadingReceiving);
        }
        progress.State(kReadingCrcError);
        progress.Message(advice);
        for (int step = 1; step <= 72; ++step) {
            progress.Progress(std::min(step * 9, 624), 624);
            progress.State(kReadingReceiving);
        }
        progress.State(kReadingComplete);
        progress.End();
    };
    auto lines = [](const std::string& text) {
        std::vector<std::string> all;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) all.push_back(line);
        return all;
    };
    const std::string prefix = "zendrik-cli: ";

    std::ostringstream piped;
    ReadingProgress toPipe(piped, false);
    play(toPipe);
    EXPECT_EQ(piped.str().find('\r'), std::string::npos);
    std::vector<std::string> others;
    std::vector<int> tenths;
    for (const std::string& line : lines(piped.str())) {
        int received = 0;
        if (std::sscanf(line.c_str(), "zendrik-cli: %d of 624 bytes", &received) == 1) {
            tenths.push_back(received * 10 / 624);
        } else {
            others.push_back(line);
        }
    }
    EXPECT_EQ(others, (std::vector<std::string>{prefix + "listening for an S410 transfer", prefix + "waiting for data...",
                                                prefix + "receiving data...", prefix + "CRC error", prefix + advice,
                                                prefix + "receiving data...", prefix + "complete"}));
    EXPECT_EQ(tenths, (std::vector<int>{0, 1, 2, 3, 4, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));

    std::ostringstream terminal;
    ReadingProgress toTerminal(terminal, true);
    play(toTerminal);
    const std::vector<std::string> shown = lines(terminal.str());
    ASSERT_EQ(shown.size(), 4u) << terminal.str();
    EXPECT_EQ(terminal.str().back(), '\n');
    EXPECT_EQ(shown[0], prefix + "listening for an S410 transfer");
    EXPECT_EQ(shown[2], prefix + advice);
    // Each line in place ends showing its last state, with blanks over what a longer text left.
    for (const auto& [line, last] : {std::pair{shown[1], std::string("CRC error")}, std::pair{shown[3], std::string("complete")}}) {
        const std::size_t at = line.rfind('\r');
        ASSERT_NE(at, std::string::npos) << line;
        const std::string final = line.substr(at + 1);
        EXPECT_EQ(final.substr(0, final.find_last_not_of(' ') + 1), prefix + last);
        EXPECT_GE(final.size(), prefix.size() + std::string("receiving data... 270 of 624 bytes").size());
    }
    EXPECT_GE(std::count(shown[3].begin(), shown[3].end(), '\r'), 72);
}
