#include "reception/audio_file.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "document/document.h"
#include "support/open_document.h"
#include "reception/modulator.h"
#include "reception/second_receiver.h"
#include "reception/wave_reader.h"
#include "support/cli_support.h"
#include "support/reception_summary.h"
#include "support/s410_stream_builder.h"
#include "support/wave_file_maker.h"

using namespace zendrik;

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes& S410Bytes() {
    static const Bytes bytes = testing_streams::BuildS410Stream(testing_streams::S410Values{}).bytes;
    return bytes;
}

// An S410 transfer as a recorder takes it: at `rate`, 3 % slow, with a little hiss, in the
// channel `loud` of `channels` (the others hold a faint hiss only).
std::vector<float> Interleaved(int rate, int channels, int loud) {
    ModulatorSettings settings;
    settings.sampleRate = rate;
    settings.bitPeriod = static_cast<int>(std::lround(rate / (490 * 0.97)));
    settings.amplitude = 9000;
    settings.noise = 0;
    settings.leadIn = settings.leadOut = rate / 4;
    const std::vector<std::int16_t> pcm = ModulateBytes(S410Bytes(), settings);
    std::mt19937 rng(7);
    std::normal_distribution<float> hiss(0.0f, 0.003f);
    std::vector<float> out(pcm.size() * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        for (int c = 0; c < channels; ++c) {
            out[i * channels + c] = hiss(rng) + (c == loud ? pcm[i] / 32768.0f : 0.0f);
        }
    }
    return out;
}

// Writes interleaved sound of `channels` channels as a file of the given libsndfile format.
std::string WrittenSound(const std::string& name, int format, int rate, int channels,
                         const std::vector<float>& sound) {
    const std::string path = testing_streams::TempPath(name);
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr) << name << ": " << sf_strerror(nullptr);
    if (!file) return path;
    sf_writef_float(file, sound.data(), static_cast<sf_count_t>(sound.size() / channels));
    sf_close(file);
    return path;
}

std::string Written(const std::string& name, int format, int rate, int channels, int loud) {
    return WrittenSound(name, format, rate, channels, Interleaved(rate, channels, loud));
}

Bytes Received(const Document& data) {
    Bytes bytes;
    for (std::int32_t b : data.Bytes().Elements()) bytes.push_back(static_cast<std::uint8_t>(b));
    return bytes;
}

struct Kind {
    const char* name;
    int format;
    int rate;
};

const Kind kKinds[] = {
    // The exact reader's own kind: it reads the second channel first, as it always has.
    {"w16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000},
    {"w16-44k.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100},
    {"w24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000},
    {"w32.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 44100},
    {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000},
    {"extensible.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 48000},
    {"f16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000},
    {"f24.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 96000},
    {"vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100},
    {"speech.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000},
};

TEST(AudioFile, EachKindOfSoundFileDecodesByteExactFromItsLouderChannel) {
    for (const Kind& kind : kKinds) {
        for (int loud : {0, 1}) {
            SCOPED_TRACE(std::string(kind.name) + " channel " + std::to_string(loud));
            const std::string path = Written(kind.name, kind.format, kind.rate, 2, loud);
            Document data;
            ASSERT_EQ(testing_streams::OpenInto(data, path), 1) << data.ReadError();
            EXPECT_EQ(data.Valid(), 1);
            EXPECT_EQ(Received(data), S410Bytes());
            // At 44100 the exact receiver reads first, and may well read this.
            if (kind.rate != 44100) {
                EXPECT_EQ(data.Reception().receiver, zendrik::ReceiverUsed::Second);
            }
            EXPECT_EQ(data.Reception().sampleRate, kind.rate);
            // Read in passes, the file gives the second receiver what it gives read whole.
            const testing_streams::WholeAndStreamed both =
                testing_streams::ReceiveBothWays(path, zendrik::ReadAudioStream, zendrik::OpenAudioStream);
            EXPECT_EQ(both.streamed, both.whole);
        }
    }
}

// Of two channels the one kept for the second receiver is the one with more energy in the
// watch tone's band, not more energy: a channel of loud mains hum loses to a quieter tone.
// Decoded sound becomes 16-bit samples rounded half away from zero, as lround rounds: just below,
// at and just above every half step between two sample values, and beyond full scale.
TEST(AudioFile, DecodedSamplesRoundHalfAwayFromZero) {
    for (int k = -32769; k <= 32767; ++k) {
        const float half = (static_cast<float>(k) + 0.5f) / 32768.0f;
        for (float x : {std::nextafter(half, -2.0f), half, std::nextafter(half, 2.0f)}) {
            ASSERT_EQ(SampleOf(x), std::lround(std::clamp(x * 32768.0f, -32768.0f, 32767.0f))) << x;
        }
    }
    EXPECT_EQ(SampleOf(std::nanf("")), 0);
}

TEST(AudioFile, TheChannelKeptIsTheLoudestInTheTonesBand) {
    constexpr int kRate = 48000;
    for (int hum : {0, 1}) {
        std::vector<float> sound(2 * kRate);
        for (std::size_t i = 0; i < kRate; ++i) {
            const double t = static_cast<double>(i) / kRate;
            sound[2 * i + static_cast<std::size_t>(hum)] =
                static_cast<float>(0.5 * std::sin(2 * M_PI * 50 * t));
            sound[2 * i + static_cast<std::size_t>(1 - hum)] =
                static_cast<float>(0.05 * std::sin(2 * M_PI * 3000 * t));
        }
        auto rms = [](const auto& samples, double scale) {
            double sum = 0;
            for (auto x : samples) sum += x / scale * (x / scale);
            return std::sqrt(sum / static_cast<double>(samples.size()));
        };
        SCOPED_TRACE("hum in channel " + std::to_string(hum));
        std::istringstream flac(testing_streams::ReadFile(
            WrittenSound("hum.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, kRate, 2, sound)));
        const zendrik::AudioFileResult read = zendrik::ReadAudioStream(flac);
        ASSERT_TRUE(read.ok) << read.reason;
        EXPECT_LT(rms(read.clip.samples, 1.0), 0.05);
        std::istringstream wav(testing_streams::ReadFile(
            WrittenSound("hum.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 2, sound)));
        WaveSamples wave;
        ASSERT_TRUE(ReadWaveStream(wav, wave, nullptr, WaveChannel::ToneBandLoudest));
        EXPECT_LT(
            rms(std::vector<std::int16_t>(wave.samples.get(), wave.samples.get() + wave.count),
                32768.0),
            0.05);
    }
}

TEST(AudioFile, DamagedFilesGiveAReasonOrAnInvalidReportNeverACrash) {
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        const std::string whole = testing_streams::ReadFile(Written(kind.name, kind.format, kind.rate, 1, 0));
        // Cut inside the header: nothing can be read, and the reason says so.
        Document data;
        EXPECT_EQ(testing_streams::OpenInto(data, testing_wave::WriteWaveBytes(whole.substr(0, 30), kind.name)), 0);
        EXPECT_FALSE(data.ReadError().empty());
        // Cut in half, or with bytes overwritten: whatever is read, no bytes that fail their
        // checks become a valid report.
        std::string damaged = whole;
        std::mt19937 rng(3);
        for (int i = 0; i < 40; ++i) damaged[64 + rng() % (damaged.size() - 64)] = static_cast<char>(rng());
        for (const std::string& file : {whole.substr(0, whole.size() / 2), damaged}) {
            Document broken;
            const int decoded = testing_streams::OpenInto(broken, testing_wave::WriteWaveBytes(file, kind.name));
            EXPECT_TRUE(decoded == 0 ? !broken.ReadError().empty()
                                     : !broken.Valid() || Received(broken) == S410Bytes());
        }
    }
}

TEST(AudioFile, TheReasonSaysWhatTheFileIs) {
    struct Case {
        std::string bytes;
        std::string reason;
    };
    for (const Case& c :
         {Case{"AA\r\nAA\r\n", "not a RIFF WAVE file"},
          Case{"fLaC" + std::string(60, '\x7f'), "not a sound file that can be read: "}}) {
        Document data;
        EXPECT_EQ(testing_streams::OpenInto(data, testing_wave::WriteWaveBytes(c.bytes, "what.wav")), 0);
        EXPECT_EQ(data.ReadError().substr(0, c.reason.size()), c.reason);
    }
}

// Text named as a recording is said not to be the recording its name says, in the same words by
// the desktop program's reader and by zendrik-cli; a sound file's own signature still wins.
TEST(AudioFile, AFileThatIsNoSoundIsNotTheRecordingItsNameSays) {
    const std::string garbage = "AA\r\n55\r\nnot a recording at all\r\n";
    const std::string rest = " recording: its first bytes are those of no sound file; it may be "
                             "damaged, or another kind of file renamed";
    const struct {
        const char* name;
        std::string bytes;
        std::string reason;
    } cases[] = {
        {"x.wav", garbage, "not a RIFF WAVE file"},
        {"x.WAVE", garbage, "not a RIFF WAVE file"},
        {"x.flac", garbage, "not a FLAC" + rest},
        {"x.ogg", garbage, "not an Ogg" + rest},
        {"x.oga", garbage, "not an Ogg" + rest},
        {"x.opus", garbage, "not an Opus" + rest},
        {"x.mp3", garbage, "not an MP3" + rest},
        {"x.M4A", garbage, "not an M4A" + rest},
        {"x.mp4", garbage, "not an MP4" + rest},
        {"x.aac", garbage, "not an AAC" + rest},
        {"x.3gp", garbage, "not a 3GP" + rest},
        {"x.amr", garbage, "not an AMR" + rest},
        {"x.webm", garbage, "not a WebM" + rest},
        {"x.caf", garbage, "not a CAF" + rest},
        {"empty.m4a", "", "not an M4A recording: the file is empty"},
        // Damaged sound files: their reader says what is wrong, whatever the name.
        {"flac.m4a", "fLaC" + std::string(60, '\x7f'), "not a sound file that can be read: "},
        {"riff.ogg", "RIFF", "not a RIFF WAVE file (too short)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = testing_wave::WriteWaveBytes(c.bytes, c.name);
        Document data;
        EXPECT_EQ(testing_streams::OpenInto(data, path), 0);
        EXPECT_EQ(data.ReadError().substr(0, c.reason.size()), c.reason);
        const testing_streams::ProcessResult cli = Cli({path});
        EXPECT_EQ(cli.exitCode, 1);
        EXPECT_EQ(cli.err, "zendrik-cli: " + path + ": " + data.ReadError() + "\n");
    }
}

TEST(AudioFile, ARecordingLongerThanTheLimitIsRefused) {
    std::istringstream flac(testing_streams::ReadFile(
        Written("long.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 2, 0)));
    const zendrik::AudioFileResult refused = zendrik::ReadAudioStream(flac, 1000);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.reason.find("more than 4 hours"), std::string::npos);
    const zendrik::AudioFileResult read = zendrik::ReadAudioStream(flac);
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.clip.sampleRate, 48000);
}

TEST(AudioFile, ZendrikCliReadsFlacOnStandardInputAndMp3ByName) {
    const std::string flac = Written("piped.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1, 0);
    const std::string expected = testing_streams::Decoded(S410Bytes()).hrm;
    testing_streams::ProcessStreams streams;
    streams.input = flac;
    const testing_streams::ProcessResult piped = CliWith(streams, {"-"});
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(piped.out, expected);

    // MP3 files are made with sox, where it and its MP3 format are installed.
    const std::string mp3 = testing_streams::TempPath("phone.mp3");
    std::filesystem::remove(mp3);
    const std::string command = "sox '" + flac + "' -C 128 '" + mp3 + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0 || !std::filesystem::exists(mp3)) {
        GTEST_SKIP() << "sox with MP3 support (Debian: sox libsox-fmt-mp3) is not installed";
    }
    const testing_streams::ProcessResult named = Cli({mp3});
    EXPECT_EQ(named.exitCode, 0) << named.err;
    EXPECT_EQ(named.out, expected);
}

}  // namespace

namespace {

TEST(AudioFile, VerboseSaysWhichReceiverDecodedAndWhatToDoWhenNothingDid) {
    const std::string flac = Written("verbose.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1, 0);
    const testing_streams::ProcessResult second = Cli({"--verbose", flac});
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_NE(second.err.find("Receiver: second"), std::string::npos) << second.err;
    EXPECT_NE(second.err.find("Sample rate: 48000 Hz"), std::string::npos) << second.err;
    EXPECT_NE(second.err.find("Blocks good: "), std::string::npos) << second.err;
    EXPECT_EQ(Cli({flac}).err, "");

    // Quiet hiss only: no tone, and the advice says what to do.
    std::vector<int> hiss;
    std::mt19937 rng(5);
    for (int i = 0; i < 44100; ++i) hiss.push_back(static_cast<int>(rng() % 7) - 3);
    const std::string quiet = testing_wave::WriteWaveBytes(
        testing_wave::WaveFileMaker().Format({}).Data(testing_wave::Pcm16(hiss)).Bytes(), "quiet.wav");
    const testing_streams::ProcessResult none = Cli({"--verbose", quiet});
    EXPECT_EQ(none.exitCode, 3);
    zendrik::ReceptionReport noTone;
    noTone.failure = zendrik::ReceptionFailure::NoTone;
    EXPECT_NE(none.err.find(zendrik::ReceptionAdvice(noTone)), std::string::npos) << none.err;
}

}  // namespace
