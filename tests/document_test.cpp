#include "document/document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "decoders/families.h"
#include "reception/dump_file.h"
#include "reception/live_decoder.h"
#include "reception/modulator.h"
#include "reception/stream_check.h"
#include "reception/wave_writer.h"
#include "support/coach_stream_builder.h"
#include "support/open_document.h"
#include "support/rs200_stream_builder.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

using testing_streams::Head;
using testing_streams::ToReceived;

namespace {

// A Coach head: the S410's model byte, one block, and the mark, number and size of that block.
std::vector<std::uint8_t> CoachHead(std::size_t size) {
    std::vector<std::uint8_t> bytes = Head(10, 14);
    bytes[8] = 1;
    bytes[11] = 0x55;
    bytes[12] = 1;
    bytes[13] = 0x11;
    bytes.resize(size, 0);
    return bytes;
}

// What the decoder of the model writes for these bytes.
std::string ReportOf(const Document& data) {
    return data.Hrm() + "|" + data.HrmCompat() + "|" + data.Csv();
}
std::string ReportOf(int model, const std::vector<std::uint8_t>& bytes, const ValueFormat& values = {}) {
    Document reference({.watchModel = model, .values = values});
    reference.DecodeBytes(ToReceived(bytes));
    return ReportOf(reference);
}

// A document that shows a valid RS200 report, all three texts filled.
Document ShowingARun(int model = 4) {
    Document data({.watchModel = model});
    data.DecodeBytes(ToReceived(testing_streams::BuildRs200Stream({})), ModelBy::StreamHead);
    EXPECT_TRUE(data.Valid() && !data.HrmCompat().empty() && !data.Csv().empty());
    return data;
}

}  // namespace

TEST(Document, RecognisesTheModelTheStreamHeadNames) {
    EXPECT_EQ(DetectWatchModel(ToReceived(Head(10, 12))), 1);
    EXPECT_EQ(DetectWatchModel(ToReceived(Head(0x51, 12))), 3);
    EXPECT_EQ(DetectWatchModel(ToReceived(Head(1, 12))), 4);
    EXPECT_EQ(DetectWatchModel(ToReceived(CoachHead(14))), 2);
    // Bytes not yet received never complete the Coach mark.
    EXPECT_EQ(DetectWatchModel(ToReceived(CoachHead(13))), 1);
    std::vector<std::uint8_t> s510Coach = CoachHead(20);
    s510Coach[6] = 0x51;
    EXPECT_EQ(DetectWatchModel(ToReceived(s510Coach)), 3);
    EXPECT_EQ(DetectWatchModel(ToReceived(Head(10, 10))), 0);
    EXPECT_EQ(DetectWatchModel(ToReceived(Head(2, 12))), 0);
    // The preamble is not looked at here, only the start mark.
    std::vector<std::uint8_t> noPreamble = Head(0x51, 12);
    noPreamble[0] = 0;
    EXPECT_EQ(DetectWatchModel(ToReceived(noPreamble)), 3);
    std::vector<std::uint8_t> noMark = Head(10, 12);
    noMark[5] = 0x54;
    EXPECT_EQ(DetectWatchModel(ToReceived(noMark)), 0);
}

TEST(Document, DecodesADumpWithTheDetectedModelAndKeepsTheUsers) {
    // The three heads must give three different reports for the test to tell them apart.
    ASSERT_NE(ReportOf(2, CoachHead(40)), ReportOf(1, CoachHead(40)));
    ASSERT_NE(ReportOf(1, Head(10, 30)), ReportOf(2, Head(10, 30)));
    ASSERT_NE(ReportOf(4, Head(1, 30)), ReportOf(2, Head(1, 30)));

    const struct {
        int setting;
        std::vector<std::uint8_t> bytes;
        int named;
    } cases[] = {{1, CoachHead(40), 2}, {2, Head(10, 30), 1}, {2, Head(1, 30), 4}};
    for (const auto& c : cases) {
        Document data({.watchModel = c.setting});
        EXPECT_EQ(data.DecodeBytes(ToReceived(c.bytes), ModelBy::StreamHead), 1);
        EXPECT_EQ(ReportOf(data), ReportOf(c.named, c.bytes));
        EXPECT_EQ(data.Settings().watchModel, c.setting);
    }

    // A whole S510 transfer from a dump file, whatever model the user selected.
    testing_streams::S410Values values;
    values.s510 = true;
    values.hr = {101, 102, 103};
    Document data;
    const std::string path =
        testing_streams::WriteDump(testing_streams::BuildS410Stream(values).bytes, "s510.sld");
    const Opened opened = data.Open({.path = path}, {.watchModel = 4});
    EXPECT_EQ(opened.outcome, OpenOutcome::Opened);
    EXPECT_EQ(opened.kind, zendrik::InputKind::Dump);
    EXPECT_EQ(data.Valid(), 1);
    EXPECT_EQ(data.Settings().watchModel, 4);
    EXPECT_EQ(data.Path(), path);
    EXPECT_NE(data.Hrm().find("[HRData]"), std::string::npos);
}

TEST(Document, OpenTellsAnInputByItsBytesThenItsNameThenTheCallersGuess) {
    const std::string known = "not a recording (.wav, .wave, .flac, .ogg, .oga, .opus, .mp3, .m4a, .mp4, .aac, "
                              ".3gp, .amr, .webm, .caf) or a dump (.sld)";
    const std::string text = testing_streams::WriteDump(Head(10, 30), "dump.txt");
    const struct {
        std::string path;
        zendrik::InputKind fallback;
        OpenOutcome outcome;
        std::string reason;
    } cases[] = {
        // Both programs say the same of a file that is neither.
        {text, zendrik::InputKind::Unknown, OpenOutcome::Unreadable, known},
        {text, zendrik::InputKind::Dump, OpenOutcome::Opened, ""},
        {text, zendrik::InputKind::Recording, OpenOutcome::Unreadable, "not a RIFF WAVE file"},
        {testing_streams::TempPath("never-written.sld"), zendrik::InputKind::Dump, OpenOutcome::Unreadable,
         "not found"},
    };
    for (const auto& c : cases) {
        Document data = ShowingARun();
        EXPECT_EQ(data.Open({.path = c.path, .fallback = c.fallback}, {}).outcome, c.outcome) << c.reason;
        EXPECT_EQ(data.ReadError(), c.reason);
        // What it held before is gone either way: the shells open into a new document.
        EXPECT_EQ(data.Valid(), c.outcome == OpenOutcome::Opened);
        if (c.outcome != OpenOutcome::Opened) {
            EXPECT_EQ(ReportOf(data), "||");
        }
    }
}

TEST(Document, AnUnrecognisedStreamEmptiesTheReports) {
    for (const std::vector<std::uint8_t>& bytes : {Head(10, 10), Head(2, 12), Head(0x52, 40)}) {
        Document data = ShowingARun(3);
        EXPECT_EQ(data.DecodeBytes(ToReceived(bytes), ModelBy::StreamHead), 0);
        EXPECT_EQ(ReportOf(data), "||");
        EXPECT_EQ(data.Valid(), 0);
        EXPECT_EQ(data.Settings().watchModel, 3);
    }
}

TEST(Document, UnknownModelCodesAreReportedInTheReport) {
    for (int model : {0, 5, -1, 0x51}) {
        Document data = ShowingARun();
        data.SetWatchModel(model);
        data.DecodeBytes(ToReceived(Head(10, 40)));
        const std::string text = "Watch model unknown (" + std::to_string(model) + ")\r\n";
        // Every text is the message's: none of an earlier report stays beside it.
        EXPECT_EQ(ReportOf(data), text + "||" + text);
        EXPECT_EQ(data.Valid(), 0);  // a message is never saved as a report
    }
}

TEST(Document, AValueFormatRendersTheDecodedTransferAnew) {
    const std::vector<std::uint8_t> rs200 = testing_streams::BuildRs200Stream({});
    const ValueFormat custom = MakeValueFormat(true, ',', '.', '/');
    ASSERT_NE(ReportOf(4, rs200), ReportOf(4, rs200, custom));
    Document data({.watchModel = 4});
    data.DecodeBytes(ToReceived(rs200));
    data.SetValueFormat(custom);
    EXPECT_EQ(ReportOf(data), ReportOf(4, rs200, custom));
    EXPECT_EQ(data.Settings().values.decimalSep, ",");
    EXPECT_EQ(data.Settings().values.dateSep, "/");
    EXPECT_EQ(data.Settings().watchModel, 4);
    // A separator of 0 stands for none.
    EXPECT_EQ(MakeValueFormat(false, 0, ':', 0).decimalSep, "");

    // An S410 transfer read with the RS200/CS200 setting stays unreadable under any value format,
    // as it is for the HRM text: the format never changes the family a report is read as.
    Document other({.watchModel = 4});
    other.DecodeBytes(ToReceived(Head(10, 40)));
    const std::string report = ReportOf(other);
    other.SetValueFormat(custom);
    EXPECT_EQ(ReportOf(other), report);
    EXPECT_EQ(other.Valid(), 0);
}

TEST(Document, AnInvalidReportWithoutTextSaysWhatWasReceived) {
    struct Case {
        int model;
        std::vector<std::uint8_t> bytes;
        const char* explanation;
    };
    // Heads that announce three blocks which never came.
    auto announcing = [](int modelByte) {
        std::vector<std::uint8_t> bytes = Head(modelByte, 40);
        bytes[8] = 3;
        return bytes;
    };
    const Case cases[] = {
        {4, {}, "No SonicLink transfer was found: no tone bursts were received."},
        {4, {1, 2, 3}, "No SonicLink transfer was found: 3 bytes were received, but no stream head."},
        {4, announcing(10), "The recording holds an S410/S510 transfer; the watch model setting is RS200/CS200."},
        {2, announcing(1), "The recording holds an RS200/CS200 transfer; the watch model setting is Coach."},
        {3, announcing(10), "The recording holds an S410/S510 transfer, but it could not be decoded: its "
                            "blocks are missing or damaged."},
    };
    for (const Case& c : cases) {
        Document data({.watchModel = c.model});
        data.DecodeBytes(ToReceived(c.bytes));
        EXPECT_EQ(data.ExplainInvalid(), c.explanation) << c.model;
    }
    EXPECT_EQ(ShowingARun().ExplainInvalid(), "");
}

TEST(Document, TheModelSettingDecidesHowARecordingIsDecodedWhicheverReceiverReadsIt) {
    using zendrik::ReceiverUsed;
    // An input, and how a document reads it: opened as a file, or a live reading whose exact
    // pass expects the model set, handed over when complete.
    struct Input {
        std::string name;
        std::vector<std::uint8_t> transfer;  // what it holds
        std::function<int(Document&)> read;
    };
    auto file = [](std::string path) {
        return [path](Document& data) { return testing_streams::OpenInto(data, path); };
    };
    auto live = [](std::vector<std::int16_t> sound) {
        return [sound](Document& data) {
            LiveDecoder decoder;
            decoder.OnStart(zendrik::FamilyOrFirst(data.Settings().watchModel).stream,
                            zendrik::FamilyStreamFormats(), nullptr);
            for (std::size_t at = 0; at < sound.size(); at += 10000) {
                decoder.OnSamples(sound.data() + at,
                                  static_cast<std::ptrdiff_t>(std::min<std::size_t>(10000, sound.size() - at)));
            }
            return data.TakeLiveTransfer(decoder.Transfer());
        };
    };
    // The watch's sound at its family's timing, 44100 Hz, with quiet after it long enough for
    // the live second receiver's pass.
    auto sound = [](const std::vector<std::uint8_t>& bytes, int model) {
        ModulatorSettings settings = ModulatorSettingsFor(BitTimingFor(model, 44100));
        settings.leadOut = kSecondPassSeconds * 44100;
        return ModulateBytes(bytes, settings);
    };
    auto wave = [](const std::vector<std::int16_t>& samples, const std::string& name) {
        const std::string path = testing_streams::TempPath(name);
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        WriteWaveStream(file, samples, 44100);
        return path;
    };
    auto dumped = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        ReceivedBytes received;
        ParseDump(in, received);
        const std::vector<std::int32_t> bytes = received.Elements();
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    };
    const std::string samples = ZENDRIK_SAMPLES_DIR;
    const std::vector<std::uint8_t> s510 = dumped(samples + "/s510-ride.sld");
    const std::vector<std::uint8_t> s410 = dumped(samples + "/s410-phone.sld");
    const std::vector<std::uint8_t> coach =
        testing_streams::BuildCoachStream(testing_streams::CoachValues{}).bytes;
    const std::vector<std::uint8_t> rs200 = testing_streams::BuildRs200Stream({});
    const Input ride{"s510-ride.wav", s510, file(samples + "/s510-ride.wav")};
    const Input phone{"s410-phone.flac", s410, file(samples + "/s410-phone.flac")};
    const Input coachWav{"coach.wav", coach, file(wave(sound(coach, 2), "coach.wav"))};
    const Input rs200Wav{"rs200.wav", rs200, file(wave(sound(rs200, 4), "rs200.wav"))};
    const Input s410Live{"s410 live", s410, live(sound(s410, 1))};
    const Input coachLive{"coach live", coach, live(sound(coach, 2))};
    const Input rideDump{"s510-ride.sld", s510, file(samples + "/s510-ride.sld")};
    const Input coachDump{"coach.sld", coach, file(testing_streams::WriteDump(coach, "coach.sld"))};
    const Input rs200Dump{"rs200.sld", rs200, file(testing_streams::WriteDump(rs200, "rs200.sld"))};

    constexpr const char* kReport = nullptr;  // the report of the transfer's own bytes
    const struct {
        const Input& input;
        int model;
        ReceiverUsed receiver;
        const char* holds;  // kReport, or what the one line says instead of a report
    } cases[] = {
        // The exact receiver reads at the model's bit timing, the second one at every family's;
        // whichever read the transfer, the setting decides how it is decoded.
        {ride, 1, ReceiverUsed::Exact, kReport},
        {ride, 2, ReceiverUsed::Second, "an S410/S510 transfer; the watch model setting is Coach"},
        {ride, 3, ReceiverUsed::Exact, kReport},
        {ride, 4, ReceiverUsed::Exact, "an S410/S510 transfer; the watch model setting is RS200/CS200"},
        {rs200Wav, 1, ReceiverUsed::Exact, "an RS200/CS200 transfer; the watch model setting is S410/S510"},
        {rs200Wav, 2, ReceiverUsed::Second, "an RS200/CS200 transfer; the watch model setting is Coach"},
        {rs200Wav, 4, ReceiverUsed::Exact, kReport},
        {phone, 1, ReceiverUsed::Second, kReport},
        {phone, 2, ReceiverUsed::Second, "an S410/S510 transfer; the watch model setting is Coach"},
        {phone, 4, ReceiverUsed::Second, "an S410/S510 transfer; the watch model setting is RS200/CS200"},
        {coachWav, 1, ReceiverUsed::Second, "a Coach transfer; the watch model setting is S410/S510"},
        {coachWav, 2, ReceiverUsed::Exact, kReport},
        {coachWav, 4, ReceiverUsed::Second, "a Coach transfer; the watch model setting is RS200/CS200"},
        {s410Live, 1, ReceiverUsed::Exact, kReport},
        {s410Live, 2, ReceiverUsed::Second, "an S410/S510 transfer; the watch model setting is Coach"},
        {coachLive, 1, ReceiverUsed::Second, "a Coach transfer; the watch model setting is S410/S510"},
        {coachLive, 2, ReceiverUsed::Exact, kReport},
        // A dump is decoded as the model its bytes name.
        {rideDump, 2, ReceiverUsed::None, kReport},
        {coachDump, 1, ReceiverUsed::None, kReport},
        {rs200Dump, 1, ReceiverUsed::None, kReport},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input.name + " with model " + std::to_string(c.model));
        Document data({.watchModel = c.model});
        ASSERT_EQ(c.input.read(data), 1) << data.ReadError();
        EXPECT_EQ(data.Reception().receiver, c.receiver);
        EXPECT_EQ(data.Bytes().Elements(), ToReceived(c.input.transfer).Elements());
        if (c.holds == kReport) {
            Document byHead;
            byHead.DecodeBytes(ToReceived(c.input.transfer), ModelBy::StreamHead);
            EXPECT_EQ(data.Valid(), 1);
            EXPECT_EQ(data.Hrm(), byHead.Hrm());
        } else {
            EXPECT_EQ(data.Valid(), 0);
            EXPECT_EQ(data.Hrm(), "");
            EXPECT_EQ(data.ExplainInvalid(), "The recording holds " + std::string(c.holds) + ".");
        }
        EXPECT_EQ(data.Settings().watchModel, c.model);
    }
}

TEST(Document, OnlyAValidReportKeepsAnExerciseAndEveryDecodingStartsWithout) {
    testing_streams::S410Values values;
    values.hr = {100, 120, 140};
    testing_streams::Stream stream = testing_streams::BuildS410Stream(values);
    Document data;
    ASSERT_TRUE(data.DecodeBytes(ToReceived(stream.bytes), ModelBy::StreamHead));
    ASSERT_TRUE(data.ValidExercise());
    EXPECT_EQ(data.ValidExercise()->SampleCount(), 3u);
    EXPECT_TRUE(data.DecodedTransfer().checkMessages.empty());

    // The same object, then a stream that fails its checks: nothing of the last exercise stays,
    // and the checks' lines are kept as they stand in the report.
    testing_streams::BreakChecksum(stream, 1);
    data.DecodeBytes(ToReceived(stream.bytes), ModelBy::StreamHead);
    EXPECT_FALSE(data.Valid());
    EXPECT_FALSE(data.ValidExercise());
    ASSERT_FALSE(data.DecodedTransfer().checkMessages.empty());
    std::string lines;
    for (const std::string& line : data.DecodedTransfer().checkMessages) lines += line + "\r\n";
    EXPECT_EQ(data.Hrm(), lines);
    EXPECT_FALSE(data.DecodedTransfer().exercise.has_value());

    // A stream naming no model empties everything.
    data.DecodeBytes(ToReceived(Head(0x77, 40)), ModelBy::StreamHead);
    EXPECT_TRUE(data.DecodedTransfer().checkMessages.empty());
}
