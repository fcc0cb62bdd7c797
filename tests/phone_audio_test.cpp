// The compressed recordings phones make (M4A/AAC, ADTS AAC, WebM/Opus, 3GP/AMR), encoded with
// the ffmpeg command from recordings made here, through the document and zendrik-cli.
#include "reception/phone_audio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "document/document.h"
#include "support/open_document.h"
#include "reception/input_file.h"
#include "reception/modulator.h"
#include "reception/second_receiver.h"
#include "support/cli_support.h"
#include "support/coach_stream_builder.h"
#include "support/reception_summary.h"
#include "support/s410_stream_builder.h"
#include "support/wave_file_maker.h"

using namespace zendrik;

namespace {

using Bytes = std::vector<std::uint8_t>;

using testing_wave::HaveFfmpeg;
using testing_wave::Transcoded;

// A 16-bit mono WAV file of `samples` at `rate`.
std::string WaveOf(const std::vector<std::int16_t>& samples, int rate, const std::string& name) {
    const std::vector<int> pcm(samples.begin(), samples.end());
    return testing_wave::WriteWaveBytes(
        testing_wave::WaveFileMaker().Format({1, 1, rate, 16}).Data(testing_wave::Pcm16(pcm)).Bytes(), name);
}

// `bytes` sent at `bitsPerSecond` as a phone hears it: 48000 Hz, the watch 3 % slow, the room's
// hiss about 30 dB below the tone (a phone's microphone never records digital silence, and AAC
// at 64 kbit/s or less smears bursts over a silent background); written as WAV, then encoded by
// ffmpeg with `codec` into `name` (empty when that failed).
std::string Encoded(const Bytes& bytes, int bitsPerSecond, const std::string& codec, const std::string& name) {
    ModulatorSettings settings;
    settings.sampleRate = 48000;
    settings.bitPeriod = static_cast<int>(std::lround(48000 / (bitsPerSecond * 0.97)));
    settings.amplitude = 9000;
    settings.noise = 600;
    settings.leadIn = settings.leadOut = 12000;
    return Transcoded(WaveOf(ModulateBytes(bytes, settings), 48000, name + ".wav"), codec, name);
}

Bytes Received(const Document& data) {
    Bytes bytes;
    for (std::int32_t b : data.Bytes().Elements()) bytes.push_back(static_cast<std::uint8_t>(b));
    return bytes;
}

TEST(PhoneAudio, PhoneRecordingsDecodeByteExactThroughTheDocumentAndTheCli) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "the ffmpeg command (Debian: ffmpeg) is not installed";
    struct Family {
        const char* name;
        Bytes bytes;
        int bitsPerSecond;
        int model;  // the setting a recording is decoded with
    };
    const Family families[] = {
        {"s410", testing_streams::BuildS410Stream(testing_streams::S410Values{}).bytes, 490, 1},
        {"coach", testing_streams::BuildCoachStream(testing_streams::CoachValues{}).bytes, 196, 2},
    };
    struct Encoding {
        const char* name;
        const char* codec;
    };
    // As phones write them: AAC in MP4 at a voice recorder's 64 and a music app's 128 kbit/s,
    // AAC in ADTS, Opus in WebM.
    const Encoding encodings[] = {{"64.m4a", "-c:a aac -b:a 64k"},
                                  {"128.m4a", "-c:a aac -b:a 128k"},
                                  {"64.aac", "-c:a aac -b:a 64k -f adts"},
                                  {"64.webm", "-c:a libopus -b:a 64k"}};
    for (const Family& family : families) {
        const std::string expected = testing_streams::Decoded(family.bytes).hrm;
        for (const Encoding& encoding : encodings) {
            const std::string name = std::string(family.name) + "-" + encoding.name;
            SCOPED_TRACE(name);
            const std::string path = Encoded(family.bytes, family.bitsPerSecond, encoding.codec, name);
            if (path.empty()) {
                ADD_FAILURE() << "ffmpeg could not write it";
                continue;
            }
            Document data;
            data.SetWatchModel(family.model);
            ASSERT_EQ(testing_streams::OpenInto(data, path), 1) << data.ReadError();
            EXPECT_EQ(Received(data), family.bytes);
            EXPECT_EQ(data.Reception().sampleRate, 48000);
            const std::string model = std::to_string(family.model);
            const testing_streams::ProcessResult cli = Cli({"--model", model, path});
            EXPECT_EQ(cli.exitCode, 0) << cli.err;
            EXPECT_EQ(cli.out, expected);
            // Read in passes, the file gives the second receiver what it gives read whole.
            const testing_streams::WholeAndStreamed both =
                testing_streams::ReceiveBothWays(path, zendrik::ReadPhoneAudioStream, zendrik::OpenPhoneAudioStream);
            EXPECT_EQ(both.streamed, both.whole);
        }
        // Standard input is told a recording by its first bytes alone.
        testing_streams::ProcessStreams streams;
        streams.input = testing_streams::TempPath(std::string(family.name) + "-64.m4a");
        const testing_streams::ProcessResult piped =
            CliWith(streams, {"--model", std::to_string(family.model), "-"});
        EXPECT_EQ(piped.exitCode, 0) << piped.err;
        EXPECT_EQ(piped.out, expected);
    }
}

// An AMR-NB recording as a phone's voice recorder writes it (8000 Hz): any payload bits decode.
std::string AmrNb() {
    std::string amr = "#!AMR\n";
    std::mt19937 rng(9);
    for (int frame = 0; frame < 100; ++frame) {
        amr.push_back(0x3C);  // a 12.2 kbit/s frame of 31 bytes
        for (int i = 0; i < 31; ++i) amr.push_back(static_cast<char>(rng()));
    }
    return amr;
}

// An M4A file's head and nothing a demuxer can read after it.
std::string DamagedM4a() { return std::string("\0\0\0\x18" "ftypM4A ", 12) + std::string(300, '\x5A'); }

bool CliHasFfmpegModule() {
    return std::filesystem::exists(std::filesystem::path(ZENDRIK_CLI_PATH).parent_path() /
                                   "zendrik-ffmpeg.so");
}

TEST(PhoneAudio, UnreadableOrToneLessFilesSayWhyAndExitOne) {
    struct Case {
        std::string name;
        std::string bytes;
        const char* reason;
    };
    std::vector<Case> cases = {
        {"voice.amr", AmrNb(), "recorded at 8000 Hz, too low a rate to hold the watch's tone"},
        {"garbage.m4a", DamagedM4a(),
         "the M4A file is damaged: "},
        {"tiny.3gp", std::string("\0\0\0\x18" "ftyp3gp4", 12), "the 3GP file is damaged: "},
        {"garbage.webm", "\x1A\x45\xDF\xA3" + std::string(200, '\x01'), "the WebM file is damaged: "},
    };
    if (HaveFfmpeg()) {
        const Bytes s410 = testing_streams::BuildS410Stream(testing_streams::S410Values{}).bytes;
        // A recording stopped before the phone wrote its index, at the file's end.
        const std::string whole = testing_streams::ReadFile(Encoded(s410, 490, "-c:a aac -b:a 64k", "cut.m4a"));
        cases.push_back({"cut.m4a", whole.substr(0, whole.size() / 2), "the M4A file is damaged: its index"});
        // The AMR recording in the 3GP container phones put it in.
        const std::string gp =
            Transcoded(testing_wave::WriteWaveBytes(AmrNb(), "voice-in.amr"), "-c:a copy", "voice.3gp");
        if (!gp.empty()) {
            cases.push_back({"voice.3gp", testing_streams::ReadFile(gp), cases.front().reason});
        }
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = testing_wave::WriteWaveBytes(c.bytes, c.name);
        Document data;
        EXPECT_EQ(testing_streams::OpenInto(data, path), 0);
        EXPECT_EQ(data.ReadError().substr(0, std::string(c.reason).size()), c.reason) << data.ReadError();
        const testing_streams::ProcessResult cli = Cli({path});
        EXPECT_EQ(cli.exitCode, 1);
        EXPECT_NE(cli.err.find(c.reason), std::string::npos) << cli.err;
    }
}

// zendrik-cli maps FFmpeg's libraries (loading its module) for phone recordings alone: they would
// more than double what every run on a WAV file or a dump takes to start.
TEST(PhoneAudio, TheCliMapsFfmpegOnlyForPhoneRecordings) {
    if (!CliHasFfmpegModule()) GTEST_SKIP() << "built without FFmpeg's module";
    const std::string m4a = testing_wave::WriteWaveBytes(DamagedM4a(), "mapped.m4a");
    const std::string samples = ZENDRIK_SAMPLES_DIR;
    for (const std::string& input : {samples + "/s510-ride.wav", samples + "/s510-ride.sld", m4a}) {
        SCOPED_TRACE(input);
        const testing_streams::ProcessResult run = Cli({input}, {"LD_DEBUG=libs"});
        EXPECT_EQ(run.err.find("libavcodec") != std::string::npos, input == m4a);
    }
}

// Without its module, a phone recording is refused with what to install, as any unreadable file.
TEST(PhoneAudio, TheCliWithoutItsFfmpegModuleSaysWhatToInstall) {
    if (!CliHasFfmpegModule()) GTEST_SKIP() << "built without FFmpeg's module";
    const std::filesystem::path alone = testing_streams::TempPath("cli-alone");
    std::filesystem::create_directories(alone);
    std::filesystem::copy_file(ZENDRIK_CLI_PATH, alone / "zendrik-cli",
                               std::filesystem::copy_options::overwrite_existing);
    const std::string m4a = testing_wave::WriteWaveBytes(DamagedM4a(), "alone.m4a");
    const testing_streams::ProcessResult run =
        testing_streams::RunProcess((alone / "zendrik-cli").string(), {m4a});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("zendrik-ffmpeg.so is not installed: install zendrik-cli's FFmpeg module"),
              std::string::npos) << run.err;
}

// A recording at 8000 Hz is tried by the receivers like any other, whatever its container (the
// WAV reader's, libsndfile's, FFmpeg's); when they read nothing, its rate is the reason given.
TEST(PhoneAudio, TheSameSoundAtALowRateGetsTheSameOutcomeInEveryContainer) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "the ffmpeg command (Debian: ffmpeg) is not installed";
    const Bytes s410 = testing_streams::BuildS410Stream(testing_streams::S410Values{}).bytes;
    ModulatorSettings lowTone;
    lowTone.sampleRate = 8000;
    lowTone.bitPeriod = 16;
    lowTone.toneHz = 2000;
    lowTone.leadIn = lowTone.leadOut = 4000;
    const std::string tooLow = "recorded at 8000 Hz, too low a rate to hold the watch's tone";
    const struct {
        std::string source;
        int exitCode;
        std::string said;  // the start of what standard error or standard output says
    } sounds[] = {
        // The watch's tone at about 4400 Hz, which resampling to 8000 Hz takes away.
        {WaveOf(ModulateBytes(s410, ModulatorSettings{}), 44100, "watch.wav"), 1, tooLow},
        // A phone's AMR-NB voice recording, which holds no tone.
        {testing_wave::WriteWaveBytes(AmrNb(), "voice.amr"), 1, tooLow},
        // A tone the rate can hold.
        {WaveOf(ModulateBytes(s410, lowTone), 8000, "low.wav"), 0, testing_streams::Decoded(s410).hrm},
    };
    for (const auto& sound : sounds) {
        // The same sound at 8000 Hz as WAV, FLAC and CAF, and the AMR file itself.
        std::vector<std::string> files;
        if (sound.source.ends_with(".amr")) files.push_back(sound.source);
        const std::string name = "8000-" + std::filesystem::path(sound.source).stem().string();
        const std::pair<const char*, const char*> containers[] = {
            {".wav", "pcm_s16le"}, {".flac", "flac"}, {".caf", "pcm_s16le"}};
        for (const auto& [type, codec] : containers) {
            files.push_back(Transcoded(sound.source, std::string("-ar 8000 -c:a ") + codec, name + type));
        }
        for (const std::string& file : files) {
            SCOPED_TRACE(file);
            ASSERT_FALSE(file.empty()) << "ffmpeg could not write it";
            const testing_streams::ProcessResult cli = Cli({file});
            EXPECT_EQ(cli.exitCode, sound.exitCode) << cli.err;
            const std::string said = sound.exitCode == 0 ? cli.out : cli.err;
            const std::string prefix = sound.exitCode == 0 ? "" : "zendrik-cli: " + file + ": ";
            EXPECT_EQ(said.substr(0, prefix.size() + sound.said.size()), prefix + sound.said);
        }
    }
}

TEST(PhoneAudio, TheLouderChannelIsKeptWithinTheSampleLimit) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "the ffmpeg command (Debian: ffmpeg) is not installed";
    const Bytes s410 = testing_streams::BuildS410Stream(testing_streams::S410Values{}).bytes;
    // A stereo recording whose first channel is silent, as from a mono microphone on a stereo input.
    std::istringstream m4a(testing_streams::ReadFile(
        Encoded(s410, 490, "-af 'pan=stereo|c0=0*c0|c1=c0' -c:a aac -b:a 128k", "stereo.m4a")));
    const zendrik::AudioFileResult refused = zendrik::ReadPhoneAudioStream(m4a, 1000);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.reason.find("more than 4 hours"), std::string::npos) << refused.reason;
    const zendrik::AudioFileResult read = zendrik::ReadPhoneAudioStream(m4a);
    ASSERT_TRUE(read.ok) << read.reason;
    EXPECT_EQ(read.clip.sampleRate, 48000);
    Document data;
    ASSERT_EQ(testing_streams::OpenInto(data, DocumentInput{.clip = &read.clip}), 1) << data.ReadError();
    EXPECT_EQ(Received(data), s410);
}

// A recording that does not decode gets a hint naming what the receiver saw go wrong, on standard
// error before the report's error lines, which stay as they are; with --verbose, where the
// reception report ends with the hint, too.
TEST(PhoneAudio, TheHintNamesWhatWentWrongBeforeTheErrorLines) {
    testing_streams::S410Values values;
    values.hr = std::vector<int>(120, 140);
    const Bytes s410 = testing_streams::BuildS410Stream(values).bytes;
    struct Row {
        const char* name;
        int amplitude;    // of the bursts,
        int noise;        // and of the hiss under them
        double from, to;  // the share of the transfer's sound kept
        const char* codec;  // ffmpeg's options for a phone's file made from the WAV; none for the WAV
        const char* cause;  // what the hint says
    };
    // The clean transfer zendrik-cli --synthesize makes, resampled to 48000 Hz as a phone does
    // for the codecs.
    const Row rows[] = {
        {"cut.wav", 12000, 24, 0, 0.85, nullptr, "The recording ends before the transfer does: "},
        {"late.wav", 12000, 24, 0.3, 1, nullptr, "record the whole transfer from its beginning."},
        {"noisy.wav", 5000, 10000, 0, 1, nullptr, " dB above the noise or echoes around it"},
        {"faint.wav", 40, 80, 0, 1, nullptr, "The tone is faint ("},
        {"hiss.wav", 0, 24, 0, 1, nullptr, "No watch tone found"},
        {"aac.m4a", 12000, 24, 0, 1, "-ar 48000 -c:a aac -b:a 64k", "saved as AAC at about "},
        {"opus.opus", 12000, 24, 0, 1, "-ar 48000 -c:a libopus -b:a 24k", "saved as Opus at about "},
        {"mp3.mp3", 12000, 24, 0, 1, "-ar 48000 -c:a libmp3lame -b:a 48k", "saved as MP3 at about "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.codec && !HaveFfmpeg()) continue;
        ModulatorSettings settings;
        settings.amplitude = row.amplitude;
        settings.noise = row.noise;
        settings.leadIn = settings.leadOut = 4410;
        std::vector<std::int16_t> sound = ModulateBytes(s410, settings);
        const auto at = [&](double share) { return static_cast<std::ptrdiff_t>(share * static_cast<double>(sound.size())); };
        std::vector<int> kept(sound.begin() + at(row.from), sound.begin() + at(row.to));
        const std::string wav = testing_wave::WriteWaveBytes(
            testing_wave::WaveFileMaker().Format({}).Data(testing_wave::Pcm16(kept)).Bytes(),
            std::string(row.name) + ".wav");
        const std::string path = row.codec ? Transcoded(wav, row.codec, row.name) : wav;
        ASSERT_FALSE(path.empty()) << "ffmpeg could not write it";

        Document data;
        testing_streams::OpenInto(data, path);
        ASSERT_EQ(data.Valid(), 0);
        const std::string errorLines = data.Hrm().empty() ? data.ExplainInvalid() + "\n" : data.Hrm();
        for (bool verbose : {false, true}) {
            const testing_streams::ProcessResult cli =
                verbose ? Cli({"--verbose", path}) : Cli({path});
            EXPECT_EQ(cli.exitCode, 3);
            const std::size_t hint = cli.err.find(row.cause);
            EXPECT_NE(hint, std::string::npos) << cli.err;
            ASSERT_GE(cli.err.size(), errorLines.size()) << cli.err;
            const std::size_t linesAt = cli.err.size() - errorLines.size();
            EXPECT_EQ(cli.err.substr(linesAt), errorLines);
            EXPECT_LT(hint, linesAt) << cli.err;
            // Without --verbose the hint is all that comes before them, on one line.
            const std::string prefix = "zendrik-cli: " + path + ": ";
            if (!verbose) {
                EXPECT_EQ(cli.err.rfind(prefix, 0), 0u) << cli.err;
                EXPECT_EQ(cli.err.find('\n'), linesAt - 1) << cli.err;
            }
        }
    }
}

}  // namespace
