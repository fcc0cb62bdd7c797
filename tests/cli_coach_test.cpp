// zendrik-cli end to end with Coach transfers: dumps, recordings at the Coach's slower bit rate,
// and broken transfers.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "support/coach_stream_builder.h"
#include "support/cli_support.h"
#include "support/golden.h"

using namespace zendrik;

using namespace testing_streams;
using golden::LineStartingWith;

namespace {

CoachValues Intervals() {
    CoachValues v;
    v.month = 3;
    v.day = 5;
    v.hr = {110, 115, 118, 121, 125, 130, 135, 138, 142, 145, 150, 155, 158};
    v.laps = {{{0, 3, 0, 5}, 128, 117, 131, 0}, {{0, 6, 30, 0}, 130, 146, 159, 0}};
    return v;
}

// The year a Coach exercise of `month` gets today: the current UTC year, or the one before
// while that month is still ahead.
std::string YearOf(int month) {
    using namespace std::chrono;
    const year_month_day today{floor<days>(system_clock::now())};
    const int year = static_cast<int>(today.year());
    return std::to_string(month > static_cast<int>(static_cast<unsigned>(today.month())) ? year - 1
                                                                                         : year);
}

// The report with the year of its date written as YYYY: the Coach sends no year, and the program
// takes today's (above), so the golden files hold the rest.
std::string WithoutYear(std::string text) {
    for (const std::string& date : {"Date=" + YearOf(3), "Date;05.03." + YearOf(3)}) {
        const std::size_t at = text.find(date);
        if (at != std::string::npos) text.replace(at + date.size() - 4, 4, "YYYY");
    }
    return text;
}

}  // namespace

TEST(CliCoach, DumpGivesTheCoachReportWhateverModelIsChosen) {
    const Stream stream = BuildCoachStream(Intervals());
    const std::string dump = WriteDump(stream.bytes, "coach.sld");

    ProcessResult hrm = Cli({dump});
    ASSERT_EQ(hrm.exitCode, 0) << hrm.err;
    EXPECT_EQ(LineStartingWith(hrm.out, "Date="), "Date=" + YearOf(3) + "0305\r\n");
    EXPECT_GOLDEN("cli-coach.hrm", WithoutYear(hrm.out));
    // The stream head names the Coach, so the chosen model does not count for a dump.
    EXPECT_EQ(Cli({"--model", "1", dump}).out, hrm.out);
    EXPECT_EQ(Cli({"--model", "4", dump}).out, hrm.out);

    ProcessResult csv = Cli({"--format", "csv", dump});
    EXPECT_EQ(LineStartingWith(csv.out, "Date;"), "Date;05.03." + YearOf(3) + "\r\n");
    EXPECT_GOLDEN("cli-coach.csv", WithoutYear(csv.out));

    // The user's locale gives the regional separators.
    ProcessResult german = Cli({"--format", "csv", "--value-format", "regional", dump},
                               {"LC_ALL=de_DE.UTF-8", "LANG=de_DE.UTF-8"});
    EXPECT_EQ(LineStartingWith(german.out, "Length"), "Length;00:06:30,0\r\n") << german.err;

    ProcessResult compat = Cli({"--format", "hrm-compat", dump});
    EXPECT_EQ(compat.exitCode, 2);
    EXPECT_EQ(compat.out, "");
}

TEST(CliCoach, SynthesizedRecordingDecodesWithTheCoachBitTiming) {
    const Stream stream = BuildCoachStream(Intervals());
    const std::string dump = WriteDump(stream.bytes, "coach-rec.sld");
    const std::string wav = TempPath("coach-rec.wav");
    ASSERT_EQ(Cli({"--synthesize", wav, dump}).exitCode, 0);

    ProcessResult bytes = Cli({"--model", "2", "--format", "sld", wav});
    ASSERT_EQ(bytes.exitCode, 0) << bytes.err;
    EXPECT_EQ(bytes.out, ReadFile(dump));
    ProcessResult hrm = Cli({"--model", "2", wav});
    EXPECT_EQ(hrm.exitCode, 0) << hrm.err;
    EXPECT_GOLDEN("cli-coach.hrm", WithoutYear(hrm.out));
    ProcessResult csv = Cli({"--model", "2", "--format", "csv", wav});
    EXPECT_GOLDEN("cli-coach.csv", WithoutYear(csv.out));

    // With the model set to another watch the exact receiver reads the wrong bit period and its
    // bytes fail their checks; the second receiver tries both timings and finds the transfer,
    // but the setting decides how it is decoded: nothing is written, and the one line says
    // which watch the recording is of.
    for (const char* format : {"sld", "hrm"}) {
        ProcessResult wrong = Cli({"--model", "1", "--format", format, wav});
        EXPECT_EQ(wrong.exitCode, 3) << format;
        EXPECT_EQ(wrong.out, "");
        EXPECT_EQ(wrong.err, "zendrik-cli: " + wav + ": The recording holds a Coach transfer; the "
                             "watch model setting is S410/S510.\n");
    }
}

TEST(CliCoach, BrokenTransfersExitThreeWithTheirErrorLines) {
    Stream crc = BuildCoachStream(Intervals());
    BreakCoachChecksum(crc, 4);
    ProcessResult result = Cli({WriteDump(crc.bytes, "coach-crc.sld")});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.out, "");
    // One bit of the stored checksum flipped; the Coach has no length check to follow.
    EXPECT_EQ(result.err, "CRC Error Block 5: BlockCRC: 576A, expected: 566A\r\n");

    // Block errors without a message: nothing written, a failure, and one line saying why.
    Stream renumbered = BuildCoachStream(Intervals());
    SetCoachBlockNumber(renumbered, 2, 5);
    const std::string dump = WriteDump(renumbered.bytes, "coach-number.sld");
    for (const char* format : {"hrm", "csv"}) {
        result = Cli({"--format", format, dump});
        EXPECT_EQ(result.exitCode, 3) << format;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
}
