// zendrik-cli end to end around the decoding: paths that cannot be read, outputs that must not
// cost the user a file, standard input and output, several inputs, options that do not apply.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "reception/input_file.h"
#include "reception/modulator.h"
#include "reception/wave_writer.h"
#include "support/cli_support.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

using namespace testing_streams;
namespace fs = std::filesystem;

namespace {

const std::string kSamples = ZENDRIK_SAMPLES_DIR;
const std::string kRideDump = kSamples + "/s510-ride.sld";
const std::string kRideWave = kSamples + "/s510-ride.wav";
const std::string kRideDate = "20260614";

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

std::string RideHrm() { return ReadFile(kSamples + "/s510-ride.hrm"); }

// An empty folder of its own for one test.
std::string FreshFolder(const std::string& name) {
    const std::string path = TempPath(name);
    fs::remove_all(path);
    fs::create_directories(path);
    return path;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

long Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

long FilesIn(const std::string& folder) {
    return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
}

// Standard input read from a file, in a working folder of the test's choice.
ProcessStreams InputFrom(const std::string& path, const std::string& workDir = {}) {
    ProcessStreams streams;
    streams.input = path;
    streams.workDir = workDir;
    return streams;
}

// Runs zendrik-cli through the shell, which first runs `setup` (limits, ignored signals).
ProcessResult CliAfter(const std::string& setup, std::vector<std::string> args,
                       const ProcessStreams& streams = {}) {
    args.insert(args.begin(), {"-c", setup + "; exec \"$0\" \"$@\"", ZENDRIK_CLI_PATH});
    return RunProcess("/bin/sh", args, {}, streams);
}

}  // namespace

TEST(CliIo, InputsThatCannotBeReadSayWhyAndExitOne) {
    const std::string dir = FreshFolder("unreadable");
    fs::create_directory(dir + "/folder.sld");
    fs::create_symlink("/dev/zero", dir + "/zero.sld");
    fs::create_symlink("/proc/self/pagemap", dir + "/pagemap.sld");
    ASSERT_EQ(::mkfifo((dir + "/pipe.sld").c_str(), 0600), 0);
    const std::string huge = dir + "/huge.sld";
    WriteText(huge, "");
    fs::resize_file(huge, zendrik::kMaxDumpFileBytes + 1);  // sparse: costs no disk

    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {dir + "/folder.sld", "folder"},
        {dir + "/zero.sld", "not a regular file"},
        {dir + "/pipe.sld", "not a regular file"},
        {dir + "/pagemap.sld", "larger than any dump"},
        {"/proc/self/pagemap", "not a recording"},
        {huge, "larger than any dump"},
        {dir + "/missing.wav", "not found"},
    };
    for (const auto& c : cases) {
        const ProcessResult result = Cli({c.path});
        EXPECT_EQ(result.exitCode, 1) << c.path;
        EXPECT_EQ(result.err.rfind("zendrik-cli: " + c.path + ": ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
        EXPECT_EQ(Lines(result.err), 1) << result.err;
    }
    const ProcessResult piped = CliWith(InputFrom(huge), {"-"});
    EXPECT_EQ(piped.exitCode, 1);
    EXPECT_EQ(piped.err, "zendrik-cli: standard input: larger than any dump (more than 16 MB)\n");
}

TEST(CliIo, OutputThatIsTheInputIsRefusedAndNothingWritten) {
    const std::string dir = FreshFolder("same-file");
    const std::string wav = dir + "/rec.wav";
    fs::copy_file(kRideWave, wav);
    fs::create_symlink("rec.wav", dir + "/link.wav");
    fs::create_hard_link(wav, dir + "/hard.wav");
    const std::string original = ReadFile(wav);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"-o", wav, wav},
             {"-o", dir + "/link.wav", wav},
             {"-o", dir + "/hard.wav", wav},
             {"--format", "sld", "-o", dir + "/../same-file/./rec.wav", wav},
             {"--synthesize", dir + "/link.wav", wav},
         }) {
        const ProcessResult result = Cli(args);
        EXPECT_EQ(result.exitCode, 2) << testing::PrintToString(args);
        EXPECT_NE(result.err.find("INPUT"), std::string::npos) << result.err;
        EXPECT_EQ(ReadFile(wav), original);
    }
    EXPECT_EQ(FilesIn(dir), 3);
}

TEST(CliIo, OutputFileIsReplacedWholeOrNotAtAll) {
    const std::string dir = FreshFolder("replace");
    // A write that fails part way (past the file size limit; its signal ignored, so the write
    // fails with EFBIG) leaves the old file and nothing beside it: a report and a chart alike.
    for (const auto& [option, name] : {std::pair{"--plot", "chart.png"}, {"--plot", "chart.svg"},
                                       {"-o", "ride.hrm"}}) {
        const std::string target = dir + "/" + name;
        WriteText(target, "kept\r\n");
        ProcessResult result = CliAfter("trap '' XFSZ; ulimit -f 1", {option, target, kRideDump});
        EXPECT_EQ(result.exitCode, 1) << name << result.err;
        EXPECT_NE(result.err.find("File too large"), std::string::npos) << result.err;
        EXPECT_EQ(ReadFile(target), "kept\r\n") << name;
        fs::remove(target);
        EXPECT_EQ(FilesIn(dir), 0) << name;
    }
    const std::string target = dir + "/ride.hrm";
    WriteText(target, "kept\r\n");

    // Through a link the file it names gets the report; the link stays a link.
    fs::create_symlink("ride.hrm", dir + "/link.hrm");
    EXPECT_EQ(Cli({"-o", dir + "/link.hrm", kRideDump}).exitCode, 0);
    EXPECT_TRUE(fs::is_symlink(dir + "/link.hrm"));
    EXPECT_EQ(ReadFile(target), RideHrm());
    EXPECT_EQ(FilesIn(dir), 2);

    // A device is written as it is.
    EXPECT_EQ(Cli({"-o", "/dev/null", kRideDump}).exitCode, 0);
    EXPECT_EQ(Cli({"-o", "/dev/full", kRideDump}).exitCode, 1);
}

TEST(CliIo, FailedStandardOutputExitsOneWithAMessage) {
    ProcessStreams full;
    full.output = "/dev/full";
    ProcessStreams closed;
    closed.outputClosed = true;
    for (const ProcessStreams& streams : {full, closed}) {
        for (const std::string& arg : {kRideDump, std::string("--help")}) {
            const ProcessResult result = CliWith(streams, {arg});
            EXPECT_EQ(result.exitCode, 1) << arg << (streams.outputClosed ? " closed pipe" : "");
            EXPECT_EQ(result.err.rfind("zendrik-cli: cannot write to standard output", 0), 0u)
                << result.err;
        }
    }
}

TEST(CliIo, ARecordingLargerThanTheMemoryAllowedIsReadByNameAndRefusedWhenPiped) {
    if (kAddressSanitizer) GTEST_SKIP() << "AddressSanitizer needs more address space than the limit";
    // A recording larger than the memory allowed (sparse, so it costs no disk), its sizes
    // claiming all of it: read by name it streams through the receivers in bounded memory; on
    // standard input the program runs out holding it.
    const std::string wav = TempPath("huge.wav");
    std::string header = ReadFile(kRideWave).substr(0, 44);
    for (const std::size_t sizeField : {4u, 40u}) header.replace(sizeField, 4, "\xF0\xFF\xFF\x7F");
    WriteText(wav, header);
    fs::resize_file(wav, std::uintmax_t{450} << 20);
    for (const bool piped : {false, true}) {
        const ProcessResult result =
            CliAfter("ulimit -v 400000", {piped ? "-" : wav}, InputFrom(piped ? wav : "/dev/null"));
        EXPECT_EQ(result.exitCode, piped ? 1 : 3) << piped;
        EXPECT_EQ(result.err.substr(0, result.err.find('\n') + 1),
                  "zendrik-cli: " + (piped ? "standard input: not enough memory to decode it\n"
                                           : wav + ": No watch tone found in the recording: hold the watch close "
                                                   "to the microphone and start the transfer while recording.\n"));
    }
    fs::remove(wav);
}

TEST(CliIo, InvalidReportSaysTheSameWhateverTheOutputOptions) {
    // An S510 recording decoded with the RS200/CS200 setting: no report, and always a reason.
    std::string first;
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {},
             {"--format", "csv"},
             {"--format", "csv", "--no-tenths"},
             {"--format", "csv", "--value-format", "custom", "--decimal", ","},
             {"--format", "sld"},
         }) {
        args.insert(args.end(), {"--model", "4", kRideWave});
        const ProcessResult result = Cli(args);
        EXPECT_EQ(result.exitCode, 3) << testing::PrintToString(args);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(Lines(result.err), 1) << result.err;
        if (first.empty()) first = result.err;
        EXPECT_EQ(result.err, first) << testing::PrintToString(args);
    }
    EXPECT_NE(first.find("S410/S510"), std::string::npos) << first;
}

TEST(CliIo, DashReadsStandardInputAndWritesStandardOutput) {
    const std::string dir = FreshFolder("dash");
    for (const std::string& input : {kRideWave, kRideDump}) {
        const ProcessResult result = CliWith(InputFrom(input, dir), {"-o", "-", "-"});
        EXPECT_EQ(result.exitCode, 0) << input << ": " << result.err;
        EXPECT_EQ(result.out, RideHrm());
    }
    EXPECT_EQ(FilesIn(dir), 0);  // no file named "-"

    // A recording is known by its first bytes, whatever its name says.
    fs::copy_file(kRideWave, dir + "/recording.sld");
    EXPECT_EQ(Cli({dir + "/recording.sld"}).out, RideHrm());
}

TEST(CliIo, WithoutFormatTheOutputNamesExtensionChoosesIt) {
    const std::string dir = FreshFolder("by-name");
    const struct {
        std::string name;
        std::string given;  // --format, if any
        std::string written;
        long warnings;
    } cases[] = {
        {"ride.csv", "", "csv", 0},  {"ride.SLD", "", "sld", 0},     {"ride.fit", "", "fit", 0},
        {"ride.tcx", "", "tcx", 0},  {"ride.json", "", "json", 0},   {"ride.txt", "", "hrm", 0},
        {"ride.hrm", "", "hrm", 0},  {"ride.fit", "hrm", "hrm", 1},  {"ride.hrm", "json", "json", 1},
        {"ride.csv", "csv", "csv", 0},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"-o", dir + "/" + c.name, kRideDump};
        if (!c.given.empty()) args.insert(args.begin(), {"--format", c.given});
        const ProcessResult result = Cli(args);
        EXPECT_EQ(result.exitCode, 0) << testing::PrintToString(args) << result.err;
        EXPECT_EQ(Lines(result.err), c.warnings) << testing::PrintToString(args) << result.err;
        EXPECT_EQ(ReadFile(dir + "/" + c.name), Cli({"--format", c.written, kRideDump}).out)
            << testing::PrintToString(args);
    }
    // A dump written that way is a dump that reads back.
    EXPECT_EQ(Cli({dir + "/ride.SLD"}).out, RideHrm());
}

TEST(CliIo, OptionsThatDoNotApplyAreWarnedAboutAndTheRunGoesOn) {
    const struct {
        std::vector<std::string> args;
        long warnings;
        std::string out;
    } cases[] = {
        {{"--seconds", "5"}, 1, RideHrm()},
        {{"--csv-separator", "comma"}, 1, RideHrm()},
        {{"--value-format", "custom", "--decimal", ",", "--no-tenths"}, 3, RideHrm()},
        {{"--format", "sld", "--csv-separator=tab"}, 1, ReadFile(kRideDump)},
        {{"--format", "csv", "--csv-separator", "comma", "--no-tenths"}, 0, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.push_back(kRideDump);
        const ProcessResult result = Cli(args);
        EXPECT_EQ(result.exitCode, 0) << testing::PrintToString(args) << result.err;
        if (!c.out.empty()) {
            EXPECT_EQ(result.out, c.out);
        }
        EXPECT_EQ(Lines(result.err), c.warnings) << result.err;
    }
    const std::string wav = TempPath("warned.wav");
    const ProcessResult synthesized = Cli({"--synthesize", wav, "-o", "x.hrm", "--format", "csv", kRideDump});
    EXPECT_EQ(synthesized.exitCode, 0);
    EXPECT_EQ(Lines(synthesized.err), 2) << synthesized.err;
    EXPECT_FALSE(fs::exists("x.hrm"));
}

TEST(CliIo, SeveralInputsGoToTheirOwnFilesWithoutOverwriting) {
    const std::string dir = FreshFolder("several");
    WriteText(dir + "/" + kRideDate + ".hrm", "kept\r\n");
    Stream broken = BuildS410Stream(S410Values{});
    BreakChecksum(broken, 1);
    const std::string otherDump = kSamples + "/s410-phone.sld";
    const std::string brokenDump = WriteDump(broken.bytes, "several-broken.sld");
    const std::string missing = TempPath("several-missing.sld");

    const ProcessResult result =
        Cli({"-o", dir + "/", kRideDump, brokenDump, missing, kRideWave, otherDump});
    EXPECT_EQ(result.exitCode, 3);  // the broken transfer's, the highest of them
    // The recording gives the dump's very report: a file already holding it is not written again.
    const std::string ride2 = dir + "/" + kRideDate + "-2.hrm";
    const std::string other1 = dir + "/20060305.hrm";
    EXPECT_EQ(result.out, ride2 + "\n" + "unchanged: " + ride2 + "\n" + other1 + "\n");
    EXPECT_EQ(ReadFile(dir + "/" + kRideDate + ".hrm"), "kept\r\n");
    EXPECT_EQ(ReadFile(ride2), RideHrm());
    EXPECT_EQ(ReadFile(other1), ReadFile(kSamples + "/s410-phone.hrm"));
    EXPECT_EQ(FilesIn(dir), 3);
    EXPECT_NE(result.err.find(brokenDump + ": the report is not valid:\n"), std::string::npos);
    EXPECT_NE(result.err.find(missing + ": not found\n"), std::string::npos) << result.err;

    // The same batch again writes nothing, wherever among the numbered names the file stands.
    const std::string ride7 = dir + "/" + kRideDate + "-7.hrm";
    fs::rename(ride2, ride7);
    const ProcessResult again = Cli({"-o", dir + "/", kRideDump, otherDump});
    EXPECT_EQ(again.out, "unchanged: " + ride7 + "\n" + "unchanged: " + other1 + "\n");
    EXPECT_EQ(FilesIn(dir), 3);

    // The extension follows the format, as in the save dialog.
    const ProcessResult csv = Cli({"--format", "csv", "-o", dir + "/", otherDump});
    EXPECT_EQ(csv.out, dir + "/20060305.csv\n");
    EXPECT_EQ(Cli({"-o", dir + "/missing-folder/", otherDump}).exitCode, 1);
}

TEST(CliIo, EveryTransferOfARecordingIsWrittenIntoAFolder) {
    // An S510 ride, then two S410 transfers of the same date, sent one after another: at 44100
    // Hz, which the exact receiver reads, and at 48000 Hz, which only the second one does.
    S410Values ride;
    ride.s510 = true;
    ride.flags = 1;
    ride.hr = {120, 125, 131};
    ride.speed = {40, 42, 45};
    ride.current.date.year = 2007;
    S410Values first;
    first.hr = {100, 110};
    S410Values second = first;
    second.hr = {140, 150, 160};
    const std::vector<Stream> sent = {BuildS410Stream(ride), BuildS410Stream(first), BuildS410Stream(second)};
    auto recording = [&](int rate, std::size_t count, const std::string& name) {
        std::vector<std::int16_t> sound;
        for (std::size_t i = 0; i < count; ++i) {
            ModulatorSettings settings;
            settings.sampleRate = rate;
            settings.bitPeriod = (rate + 245) / 490;
            settings.leadIn = settings.leadOut = rate / 4;
            const std::vector<std::int16_t> one = ModulateBytes(sent[i].bytes, settings);
            sound.insert(sound.end(), one.begin(), one.end());
        }
        const std::string path = TempPath(name);
        std::ofstream file(path, std::ios::binary);
        WriteWaveStream(file, sound, rate);
        return path;
    };
    // What each transfer gives on its own, as a dump.
    std::vector<std::string> reports;
    for (const Stream& stream : sent) reports.push_back(Cli({WriteDump(stream.bytes, "sent.sld")}).out);
    const std::string two = recording(44100, 2, "two-transfers.wav");
    const std::string three = recording(48000, 3, "three-transfers.wav");
    const std::string rideDate = "20070305";
    const std::string date = "20060305";

    // To standard output the first, and a word about the rest.
    const ProcessResult one = Cli({two});
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_EQ(one.out, reports[0]);
    EXPECT_EQ(one.err, "zendrik-cli: " + two +
                           ": the recording holds 1 more transfer after the one written; use -o "
                           "DIR/ to write each into a folder\n");

    const std::string dir = FreshFolder("transfers");
    const ProcessResult each = Cli({"--verbose", "-o", dir + "/", three});
    EXPECT_EQ(each.exitCode, 0) << each.err;
    EXPECT_EQ(each.out, dir + "/" + rideDate + ".hrm\n" + dir + "/" + date + ".hrm\n" + dir + "/" +
                            date + "-2.hrm\n");
    EXPECT_EQ(ReadFile(dir + "/" + rideDate + ".hrm"), reports[0]);
    EXPECT_EQ(ReadFile(dir + "/" + date + ".hrm"), reports[1]);
    EXPECT_EQ(ReadFile(dir + "/" + date + "-2.hrm"), reports[2]);
    EXPECT_NE(each.err.find(three + ": 3 transfers in the recording:\n  1. at 0:00.2 for "),
              std::string::npos) << each.err;
    EXPECT_NE(each.err.find("\n  3. at "), std::string::npos);
    // Each one's own bytes as a dump; again, nothing changes.
    const ProcessResult dumps = Cli({"--format", "sld", "-o", dir + "/", three});
    EXPECT_EQ(ReadFile(dir + "/" + date + "-2.sld"), ReadFile(WriteDump(sent[2].bytes, "third.sld")));
    EXPECT_EQ(Cli({"-o", dir + "/", three}).out, "unchanged: " + dir + "/" + rideDate + ".hrm\n" +
                                                     "unchanged: " + dir + "/" + date + ".hrm\n" +
                                                     "unchanged: " + dir + "/" + date + "-2.hrm\n");
    // None valid under the model setting: the first one's error, exit 3.
    EXPECT_EQ(Cli({"--model", "4", two}).exitCode, 3);
}
