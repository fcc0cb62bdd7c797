#include "reception/second_receiver.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <fstream>
#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "decoders/families.h"
#include "reception/audio_file.h"
#include "reception/carrier_search.h"
#include "reception/demodulator.h"
#include "reception/frame_reader.h"
#include "reception/modulator.h"
#include "reception/input_file.h"
#include "reception/phone_audio.h"
#include "document/document.h"
#include "support/open_document.h"
#include "reception/stream_check.h"
#include "reception/tone_energy.h"
#include "reception/transfer_acceptance.h"
#include "reception/wave_reader.h"
#include "reception/wave_writer.h"
#include "support/coach_stream_builder.h"
#include "support/reception_summary.h"
#include "support/rs200_stream_builder.h"
#include "support/s410_stream_builder.h"
#include "support/wave_file_maker.h"

using namespace zendrik;

namespace {

using zendrik::AudioClip;
using zendrik::ReceptionFailure;
using Bytes = std::vector<std::uint8_t>;

// The second receiver as the program runs it, knowing every family.
zendrik::SecondReception ReceiveClip(const AudioClip& clip) {
    return zendrik::ReceiveClip(clip, zendrik::FamilyStreamFormats());
}

struct Family {
    const char* name;
    Bytes bytes;
    int bitRate;  // what the watch sends at
};

// The transfer of family `which` (S410, S510, Coach, RS200, CS200) with the values the tests
// use, and the bytes its layout does not fix drawn from `seed`.
Bytes Content(std::size_t which, unsigned seed) {
    Bytes bytes;
    switch (which) {
        case 0:
        case 1: {
            testing_streams::S410Values values;
            values.hr = {120, 125, 131, 140, 151, 149, 138, 133};
            values.s510 = which == 1;
            values.flags = which;
            if (which == 1) values.speed = {40, 42, 45, 44, 41, 40, 38, 37};
            values.randomSeed = seed;
            bytes = testing_streams::BuildS410Stream(values).bytes;
            break;
        }
        case 2: {
            testing_streams::CoachValues values;
            values.hr = {110, 120, 130, 140, 150, 160, 150, 140, 130, 120, 110, 100};
            values.randomSeed = seed;
            bytes = testing_streams::BuildCoachStream(values).bytes;
            break;
        }
        case 3: {
            testing_streams::RunValues values;
            values.randomSeed = seed;
            bytes = testing_streams::BuildRs200Stream(values);
            break;
        }
        default: {
            testing_streams::RideValues values;
            values.randomSeed = seed;
            bytes = testing_streams::BuildCs200Stream(values);
        }
    }
    return bytes;
}

const std::vector<Family>& Families() {
    static const std::vector<Family> families = [] {
        // Every byte the layout does not fix is drawn at random, as a real watch's memory holds
        // something there: the rules for bytes no checksum covers meet every bit pattern.
        std::vector<Family> all = {{"S410", {}, 490}, {"S510", {}, 490}, {"Coach", {}, 196},
                                   {"RS200", {}, 490}, {"CS200", {}, 490}};
        const unsigned seeds[] = {41, 51, 2, 200, 201};
        for (std::size_t f = 0; f < all.size(); ++f) all[f].bytes = Content(f, seeds[f]);
        return all;
    }();
    return families;
}

// How a recording is made: the watch's sending and the room, microphone and recorder after it.
struct Take {
    using Impairment = std::function<void(std::vector<float>&, int rate, double level)>;
    using Watch = std::function<void(ModulatorSettings&)>;
    Take() = default;
    Take(int rate, double speed, double toneHz, double level, Impairment impair, Watch watch = nullptr)
        : rate(rate), speed(speed), toneHz(toneHz), level(level), impair(std::move(impair)), watch(std::move(watch)) {}

    int rate = 44100;
    double speed = 1.0;   // the watch's clock against the nominal one
    double toneHz = 4410;
    double level = 0.3;   // peak of the tone, full scale 1
    Impairment impair;
    // What the watch does otherwise than the modulator's default: the burst's shape, the quiet
    // between frames, the level from burst to burst.
    Watch watch;
};

// The watch's sound at a rate and speed, with half a second of quiet either side.
std::vector<float> Sound(const Bytes& bytes, int bitRate, const Take& take) {
    ModulatorSettings settings;
    settings.sampleRate = take.rate;
    settings.bitPeriod = static_cast<int>(std::lround(take.rate / (bitRate * take.speed)));
    settings.toneHz = take.toneHz;
    settings.amplitude = 32767;
    settings.noise = 0;
    settings.leadIn = settings.leadOut = take.rate / 2;
    if (take.watch) take.watch(settings);
    const std::vector<std::int16_t> pcm = ModulateBytes(bytes, settings);
    std::vector<float> out(pcm.size());
    for (std::size_t i = 0; i < pcm.size(); ++i) out[i] = static_cast<float>(take.level * pcm[i] / 32767.0);
    return out;
}

AudioClip Record(const Family& family, const Take& take) {
    AudioClip clip{Sound(family.bytes, family.bitRate, take), take.rate};
    if (take.impair) take.impair(clip.samples, take.rate, take.level);
    return clip;
}

// Noise whose power is the tone's (level^2 / 2) less `snrDb`, over the recording's whole band.
void AddNoise(std::vector<float>& x, double level, double snrDb, bool pink, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<double> noise(x.size());
    double b0 = 0, b1 = 0, b2 = 0;
    for (double& v : noise) {
        const double white = normal(rng);
        if (!pink) {
            v = white;
            continue;
        }
        // Three first-order sections approximate a 1/f spectrum across the audio band.
        b0 = 0.99765 * b0 + white * 0.0990460;
        b1 = 0.96300 * b1 + white * 0.2965164;
        b2 = 0.57000 * b2 + white * 1.0526913;
        v = b0 + b1 + b2 + white * 0.1848;
    }
    double power = 0;
    for (double v : noise) power += v * v;
    power /= static_cast<double>(noise.size());
    const double wanted = level * level / 2.0 / std::pow(10.0, snrDb / 10.0);
    const double scale = std::sqrt(wanted / power);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] += static_cast<float>(noise[i] * scale);
}

void AddHum(std::vector<float>& x, int rate, double level) {
    const double harmonics[][2] = {{50, 1.0}, {100, 0.5}, {150, 0.6}, {250, 0.3}, {350, 0.2}};
    for (std::size_t i = 0; i < x.size(); ++i) {
        double hum = 0;
        for (const auto& h : harmonics) hum += h[1] * std::sin(2 * std::numbers::pi * h[0] * i / rate);
        x[i] += static_cast<float>(level * hum);
    }
}

// A few decaying echoes, as a small room gives them; `strength` scales them all.
void AddEchoes(std::vector<float>& x, int rate, double strength = 1.0) {
    const double echoes[][2] = {{0.0031, 0.25}, {0.0074, 0.15}, {0.0139, 0.1}, {0.0227, 0.06}};
    const std::vector<float> dry = x;
    for (const auto& echo : echoes) {
        const std::size_t delay = static_cast<std::size_t>(echo[0] * rate);
        for (std::size_t i = delay; i < x.size(); ++i) x[i] += static_cast<float>(strength * echo[1] * dry[i - delay]);
    }
}

// A compressor with a fast attack and a slow release: the level drops after every loud stretch
// and climbs back in the quiet, as phone and laptop inputs do.
void Pump(std::vector<float>& x, int rate) {
    const double attack = std::exp(-1.0 / (0.002 * rate));
    const double release = std::exp(-1.0 / (0.3 * rate));
    double follower = 0;
    for (float& v : x) {
        const double a = std::fabs(v);
        follower = a > follower ? attack * follower + (1 - attack) * a : release * follower + (1 - release) * a;
        const double over = std::max(1.0, follower / 0.02);
        v = static_cast<float>(v * std::pow(over, 0.8 - 1.0) * 4.0);
    }
}

void Clip(std::vector<float>& x, double gain, double ceiling) {
    for (float& v : x) v = static_cast<float>(std::clamp(v * gain, -ceiling, ceiling));
}

void Clicks(std::vector<float>& x, const std::vector<double>& where, float height) {
    for (double at : where) {
        const std::size_t i = static_cast<std::size_t>(at * static_cast<double>(x.size()));
        for (std::size_t j = i; j < std::min(x.size(), i + 3); ++j) x[j] = (j == i + 1) ? -height : height;
    }
}

void Quantize8(std::vector<float>& x) {
    for (float& v : x) v = std::round(v * 128.0f) / 128.0f;
}

struct Case {
    const char* name;
    Take take;
};

std::vector<Case> Corpus() {
    using V = std::vector<float>;
    return {
        {"22050 Hz", {22050, 1.0, 3000, 0.3, nullptr}},
        {"48000 Hz", {48000, 1.0, 4410, 0.3, nullptr}},
        {"96000 Hz", {96000, 1.0, 5200, 0.3, nullptr}},
        {"white noise 10 dB", {44100, 1.0, 4410, 0.3,
                               [](V& x, int, double l) { AddNoise(x, l, 10, false, 1); }}},
        {"pink noise 10 dB", {48000, 1.0, 4410, 0.3,
                              [](V& x, int, double l) { AddNoise(x, l, 10, true, 2); }}},
        {"hum with harmonics", {44100, 1.0, 4410, 0.2,
                                [](V& x, int r, double l) { AddHum(x, r, l); AddNoise(x, l, 30, false, 3); }}},
        {"-40 dB", {44100, 1.0, 4410, 0.01,
                    [](V& x, int, double l) { AddNoise(x, l, 25, false, 4); }}},
        {"clipped", {44100, 1.0, 4410, 0.9,
                     [](V& x, int, double l) { AddNoise(x, l, 30, false, 5); Clip(x, 3.0, 0.9); }}},
        {"clicks before and during", {44100, 1.0, 4410, 0.03,
                                      [](V& x, int, double) { Clicks(x, {0.02, 0.1, 0.37, 0.61, 0.83}, 0.9f); }}},
        {"speed -3 %", {48000, 0.97, 4278, 0.3,
                        [](V& x, int, double l) { AddNoise(x, l, 20, false, 6); }}},
        {"speed +3 %", {44100, 1.03, 4542, 0.3,
                        [](V& x, int, double l) { AddNoise(x, l, 20, false, 7); }}},
        {"room echoes", {44100, 1.0, 4410, 0.3,
                         [](V& x, int r, double l) { AddEchoes(x, r); AddNoise(x, l, 25, false, 8); }}},
        {"strong echoes, the first at -9 dB", {48000, 1.02, 4500, 0.1, [](V& x, int r, double l) {
                                                   AddEchoes(x, r, 1.4);
                                                   AddNoise(x, l, 15, true, 12);
                                               }}},
        {"pumping compressor", {44100, 1.0, 4410, 0.3,
                                [](V& x, int r, double l) { AddNoise(x, l, 20, true, 9); Pump(x, r); }}},
        {"8-bit, quiet", {44100, 1.0, 4410, 0.05,
                          [](V& x, int, double l) { AddNoise(x, l, 25, false, 10); Quantize8(x); }}},
        {"a buzzer: square wave, edges a quarter bit long", {48000, 1.0, 2900, 0.3,
                                                            [](V& x, int, double l) { AddNoise(x, l, 25, true, 21); },
                                                            [](ModulatorSettings& s) {
                                                                s.shape = BurstShape::Square;
                                                                s.edgeSamples = s.bitPeriod / 4;
                                                            }}},
        {"frames back to back, the oscillator running on", {44100, 1.0, 4410, 0.3,
                                                             [](V& x, int, double l) { AddNoise(x, l, 25, false, 22); },
                                                             [](ModulatorSettings& s) {
                                                                 s.gapBits = 0;
                                                                 s.freeRunning = true;
                                                             }}},
        {"five quiet bits between frames", {48000, 1.0, 5500, 0.3,
                                            [](V& x, int, double l) { AddNoise(x, l, 25, false, 23); },
                                            [](ModulatorSettings& s) { s.gapBits = 5; }}},
        {"each burst's level down to 70 %", {44100, 1.0, 4410, 0.3,
                                             [](V& x, int, double l) { AddNoise(x, l, 25, false, 24); },
                                             [](ModulatorSettings& s) { s.levelSpread = 30; }}},
        {"phone in a room, 48000 Hz", {48000, 0.98, 4322, 0.05, [](V& x, int r, double l) {
                                           AddEchoes(x, r);
                                           AddHum(x, r, l * 0.5);
                                           AddNoise(x, l, 14, true, 11);
                                           Pump(x, r);
                                           Clicks(x, {0.05}, 0.8f);
                                       }}},
    };
}

// Every family through every impairment: whatever is accepted is the transfer byte for byte,
// and all of them are, but for the few named here that are declined today.
TEST(SecondReceiver, ImpairedRecordingsOfEveryFamilyDecodeByteExact) {
    const std::set<std::string> declined = {"phone in a room, 48000 Hz: CS200"};
    for (const Case& c : Corpus()) {
        for (const Family& family : Families()) {
            const zendrik::SecondReception got = ReceiveClip(Record(family, c.take));
            const std::string name = std::string(c.name) + ": " + family.name;
            EXPECT_TRUE(!got.accepted || got.bytes == family.bytes) << name;
            EXPECT_TRUE(got.accepted || declined.count(name))
                << name << ": " << zendrik::FormatReceptionReport(got.report);
            // The tone the report gives is the watch's (or a buzzer's harmonic it was read at),
            // not the strongest line of its spectrum (at 5500 Hz and 490 bit/s from one phase
            // each burst, 5388 Hz).
            const double harmonic = std::max(1.0, std::round(got.report.toneHz / c.take.toneHz));
            if (got.accepted) {
                EXPECT_NEAR(got.report.toneHz, harmonic * c.take.toneHz, 0.005 * c.take.toneHz) << name;
            }
        }
    }
}

// A sound file held in memory, for libsndfile to write into.
struct MemoryFile {
    std::string bytes;
    sf_count_t at = 0;
};

// The sound as a phone or a messenger saves it: through the lossy codec at `kbits` per second,
// and read back as the program reads a file. Empty when this libsndfile cannot write it.
std::vector<float> ThroughCodec(const std::vector<float>& sound, int rate, bool opus, double kbits) {
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* user) { return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size()); };
    io.seek = [](sf_count_t offset, int whence, void* user) {
        MemoryFile& f = *static_cast<MemoryFile*>(user);
        const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f.at : static_cast<sf_count_t>(f.bytes.size());
        return f.at = std::max<sf_count_t>(0, base + offset);
    };
    io.read = [](void* to, sf_count_t count, void* user) {
        MemoryFile& f = *static_cast<MemoryFile*>(user);
        const sf_count_t n = std::clamp<sf_count_t>(static_cast<sf_count_t>(f.bytes.size()) - f.at, 0, count);
        std::copy_n(f.bytes.data() + f.at, n, static_cast<char*>(to));
        f.at += n;
        return n;
    };
    io.write = [](const void* from, sf_count_t count, void* user) {
        MemoryFile& f = *static_cast<MemoryFile*>(user);
        if (static_cast<sf_count_t>(f.bytes.size()) < f.at + count) f.bytes.resize(static_cast<std::size_t>(f.at + count));
        std::copy_n(static_cast<const char*>(from), count, f.bytes.data() + f.at);
        f.at += count;
        return count;
    };
    io.tell = [](void* user) { return static_cast<MemoryFile*>(user)->at; };
    MemoryFile file;
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = opus ? SF_FORMAT_OGG | SF_FORMAT_OPUS : SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    SNDFILE* out = sf_open_virtual(&io, SFM_WRITE, &info, &file);
    if (!out) return {};
    // libsndfile sets the bit rate from a compression level: MP3 from 320 kbit/s at 0 to 32 at
    // 1, Opus from 256 kbit/s at 0 to 6 at 1.
    double level = opus ? 1.0 - (kbits - 6.0) / 250.0 : (320.0 - kbits) / 288.0;
    int mode = SF_BITRATE_MODE_CONSTANT;
    sf_command(out, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    sf_command(out, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
    const sf_count_t written = sf_writef_float(out, sound.data(), static_cast<sf_count_t>(sound.size()));
    sf_close(out);
    if (written != static_cast<sf_count_t>(sound.size())) return {};
    std::istringstream in(file.bytes);
    const zendrik::AudioFileResult read = zendrik::ReadAudioStream(in);
    return read.ok && read.clip.sampleRate == rate ? read.clip.samples : std::vector<float>{};
}

// Recordings kept by a lossy codec, as phones and messengers keep them: the watch near the
// microphone (30 dB SNR), or the phone in a room of the table above, and the codec at a low bit
// rate. Whatever is accepted is the transfer byte for byte; `decodes` is how many of the five
// families are read today.
TEST(SecondReceiver, LossyCodecsOfEveryFamily) {
    struct CodecRow {
        const char* name;
        bool opus;
        double kbits;
        bool inARoom;
        int decodes;
    };
    const Take near{48000, 1.0, 4410, 0.3, [](std::vector<float>& x, int, double l) { AddNoise(x, l, 30, false, 18); }};
    const Take room = Corpus().back().take;
    for (const CodecRow& row : {CodecRow{"MP3 at 64 kbit/s", false, 64, false, 3},
                                CodecRow{"MP3 at 48 kbit/s", false, 48, false, 3},
                                CodecRow{"Opus at 32 kbit/s", true, 32, false, 1},
                                CodecRow{"Opus at 24 kbit/s", true, 24, false, 1},
                                CodecRow{"in a room, MP3 at 48 kbit/s", false, 48, true, 1},
                                CodecRow{"in a room, Opus at 32 kbit/s", true, 32, true, 0}}) {
        int decoded = 0;
        std::string which;
        for (const Family& family : Families()) {
            AudioClip clip = Record(family, row.inARoom ? room : near);
            clip.samples = ThroughCodec(clip.samples, clip.sampleRate, row.opus, row.kbits);
            if (clip.samples.empty()) GTEST_SKIP() << "this libsndfile cannot write " << row.name;
            const zendrik::SecondReception got = ReceiveClip(clip);
            EXPECT_TRUE(!got.accepted || got.bytes == family.bytes) << row.name << ", " << family.name;
            decoded += got.accepted && got.bytes == family.bytes;
            if (got.accepted) which += std::string(which.empty() ? "" : ", ") + family.name;
        }
        EXPECT_GE(decoded, row.decodes) << row.name;
        std::cout << row.name << ": " << decoded << " of " << Families().size() << " (" << which << ")\n";
    }
}

// The sound as a phone's recorder or a messenger keeps it: written as a 16-bit WAV file, encoded
// by the ffmpeg command with `options` into a file named `name` (its extension choosing the
// container), and read back as the program reads a recording. Empty when ffmpeg could not.
std::vector<float> ThroughFfmpeg(const AudioClip& clip, const std::string& options, const std::string& name) {
    std::vector<std::int16_t> pcm(clip.samples.size());
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        pcm[i] = static_cast<std::int16_t>(std::lround(std::clamp(clip.samples[i], -1.0f, 32767.0f / 32768) * 32768));
    }
    const std::string wav = testing_streams::TempPath(name + ".wav");
    {
        std::ofstream file(wav, std::ios::binary | std::ios::trunc);
        if (!WriteWaveStream(file, pcm, clip.sampleRate)) return {};
    }
    const std::string path = testing_wave::Transcoded(wav, options, name);
    if (path.empty()) return {};
    std::ifstream in(path, std::ios::binary);
    std::string head(16, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    in.clear();
    in.seekg(0);
    const zendrik::AudioFileResult read = zendrik::PhoneContainerByContent(head) != zendrik::PhoneContainer::None
                                              ? zendrik::ReadPhoneAudioStream(in)
                                              : zendrik::ReadAudioStream(in);
    return read.ok && read.clip.sampleRate == clip.sampleRate ? read.clip.samples : std::vector<float>{};
}

// The watch's tone anywhere from 2200 to 7300 Hz, kept by the codecs phones and messengers use
// (AAC in M4A, Opus, MP3) at the bit rates they use, over digital silence and over a room's hiss
// (pink noise 30 dB below the tone), every family with its own random content: whatever is
// accepted is the transfer byte for byte. The run here is a stated handful of these recordings
// with the counts they reach today; ZENDRIK_CODEC_GRID=1 runs the whole grid (every family in
// every cell, 500 recordings, a quarter of an hour) and prints its counts per codec and family;
// ZENDRIK_CODEC_GRID=K/N runs the K-th of N shares of it (from 0), for running them side by side;
// ZENDRIK_CODEC_GRID_DRAW=N (N > 0) makes the recordings from other random content and hiss.
TEST(SecondReceiver, ToneAndCodecGrid) {
    if (!testing_wave::HaveFfmpeg()) GTEST_SKIP() << "the ffmpeg command (Debian: ffmpeg) is not installed";
    struct Codec {
        const char* name;
        const char* options;
        const char* extension;
    };
    const Codec codecs[] = {
        {"AAC 64", "-c:a aac -b:a 64k", ".m4a"},          {"AAC 96", "-c:a aac -b:a 96k", ".m4a"},
        {"AAC 128", "-c:a aac -b:a 128k", ".m4a"},        {"Opus 24", "-c:a libopus -b:a 24k", ".opus"},
        {"Opus 32", "-c:a libopus -b:a 32k", ".opus"},    {"Opus 48", "-c:a libopus -b:a 48k", ".opus"},
        {"MP3 48", "-c:a libmp3lame -b:a 48k", ".mp3"},   {"MP3 64", "-c:a libmp3lame -b:a 64k", ".mp3"},
        {"MP3 96", "-c:a libmp3lame -b:a 96k", ".mp3"},   {"MP3 128", "-c:a libmp3lame -b:a 128k", ".mp3"},
    };
    const double tones[] = {2200, 3700, 4400, 5500, 7300};
    struct Cell {
        std::size_t family;  // in Families()
        double toneHz;
        std::size_t codec;  // in codecs
        bool hiss;
    };
    std::vector<Cell> cells;
    const char* asked = std::getenv("ZENDRIK_CODEC_GRID");
    const bool whole = asked != nullptr;
    std::size_t share = 0;
    std::size_t shares = 1;
    // ZENDRIK_CODEC_GRID_DRAW=N draws other content and hiss for every cell, to look for wrong
    // bytes beyond the draw the counts were tuned on.
    const char* drawn = std::getenv("ZENDRIK_CODEC_GRID_DRAW");
    const unsigned draw = drawn ? 100000u * static_cast<unsigned>(std::max(0, std::atoi(drawn))) : 0u;
    if (whole && std::strchr(asked, '/')) {
        share = static_cast<std::size_t>(std::atoi(asked));
        shares = static_cast<std::size_t>(std::max(1, std::atoi(std::strchr(asked, '/') + 1)));
    }
    if (whole) {
        for (std::size_t c = 0; c < std::size(codecs); ++c) {
            for (double tone : tones) {
                for (bool hiss : {false, true}) {
                    for (std::size_t f = 0; f < Families().size(); ++f) cells.push_back({f, tone, c, hiss});
                }
            }
        }
    } else {
        // Each family, codec and tone, over silence and hiss.
        cells = {
            {0, 4400, 2, false}, {1, 3700, 2, true}, {2, 2200, 0, true},  {3, 2200, 9, true},
            {4, 7300, 9, true},  {0, 7300, 5, false}, {1, 5500, 8, true}, {2, 5500, 4, false},
            {3, 3700, 5, true},  {4, 4400, 1, false}, {3, 4400, 2, true},
        };
    }
    // Of the eleven above, today: the ninth and tenth are refused, not misread. The eleventh, an
    // RS200 through AAC, is read only where a bit's half beside a bit of the other value is
    // judged by how far the codec smears such halves all through the transfer.
    const int kDecodedHere = 9;
    std::map<std::pair<std::size_t, std::size_t>, std::pair<int, int>> counts;  // (codec, family): decoded, tried
    int decoded = 0;
    for (std::size_t k = share; k < cells.size(); k += shares) {
        const Cell& cell = cells[k];
        const Codec& codec = codecs[cell.codec];
        Family family = Families()[cell.family];
        family.bytes = Content(cell.family, static_cast<unsigned>(1000 + k + draw));
        const unsigned seed = static_cast<unsigned>(2000 + k + draw);
        const Take take{48000, 1.0, cell.toneHz, 0.3, [&](std::vector<float>& x, int, double l) {
                            if (cell.hiss) AddNoise(x, l, 30, true, seed);
                        }};
        AudioClip clip = Record(family, take);
        clip.samples = ThroughFfmpeg(clip, codec.options, "grid-" + std::to_string(k) + codec.extension);
        ASSERT_FALSE(clip.samples.empty()) << "ffmpeg could not write " << codec.name;
        const zendrik::SecondReception got = ReceiveClip(clip);
        const std::string name = std::string(family.name) + " at " + std::to_string(static_cast<int>(cell.toneHz)) +
                                 " Hz, " + codec.name + (cell.hiss ? ", hiss" : ", silence");
        EXPECT_TRUE(!got.accepted || got.bytes == family.bytes) << name;
        const bool ok = got.accepted && got.bytes == family.bytes;
        decoded += ok;
        auto& count = counts[{cell.codec, cell.family}];
        count.first += ok;
        ++count.second;
        std::cout << name << ": " << (ok ? "decoded" : zendrik::ReceptionAdvice(got.report)) << "\n";
    }
    if (!whole) {
        EXPECT_GE(decoded, kDecodedHere);
        return;
    }
    std::cout << "codec";
    for (const Family& family : Families()) std::cout << " | " << family.name;
    std::cout << "\n";
    for (std::size_t c = 0; c < std::size(codecs); ++c) {
        std::cout << codecs[c].name;
        for (std::size_t f = 0; f < Families().size(); ++f) {
            const auto& count = counts[{c, f}];
            std::cout << " | " << count.first << " of " << count.second;
        }
        std::cout << "\n";
    }
    std::cout << decoded << " of " << (cells.size() - share + shares - 1) / shares << " decoded\n";
}

// Recordings as phones and laptops make them, drawn at random: the families in turn (their bytes
// the layout does not fix drawn at random too), 10-30 dB SNR, -6 to -45 dBFS, clocks up to 3 %
// off, with or without echoes, hum, a compressor and clicks. Whatever is accepted is the transfer
// byte for byte, and at least three in four of each family are accepted. ZENDRIK_CORPUS_RUNS asks
// for a longer run, whose counts are printed.
TEST(SecondReceiver, RandomPhoneLikeRecordingsNeverGiveWrongBytes) {
    const char* asked = std::getenv("ZENDRIK_CORPUS_RUNS");
    const int families = static_cast<int>(Families().size());
    const int runs = asked ? std::max(1, std::atoi(asked)) : 4 * families;
    std::mt19937 rng(20261208);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    auto coin = [&] { return std::bernoulli_distribution(0.5)(rng); };
    std::vector<int> familyRuns(Families().size());
    std::vector<int> familyDecoded(Families().size());
    for (int run = 0; run < runs; ++run) {
        const std::size_t which = static_cast<std::size_t>(run % families);
        Family family = Families()[which];
        // Each run's own content, so a long run meets many bit patterns.
        if (asked) family.bytes = Content(which, static_cast<unsigned>(rng()));
        Take take;
        take.rate = coin() ? 48000 : 44100;
        take.speed = uniform(0.97, 1.03);
        take.toneHz = 4410 * take.speed;
        take.level = std::pow(10.0, uniform(-45, -6) / 20);
        const double snr = uniform(10, 30);
        const bool pink = coin(), echoes = coin(), hum = coin(), pump = coin(), clicks = coin();
        const unsigned seed = static_cast<unsigned>(rng());
        take.impair = [=](std::vector<float>& x, int rate, double level) {
            if (echoes) AddEchoes(x, rate);
            if (hum) AddHum(x, rate, level * 0.5);
            AddNoise(x, level, snr, pink, seed);
            if (pump) Pump(x, rate);
            if (clicks) Clicks(x, {0.05, 0.5}, 0.8f);
        };
        const zendrik::SecondReception got = ReceiveClip(Record(family, take));
        EXPECT_TRUE(!got.accepted || got.bytes == family.bytes) << "run " << run << ", " << family.name;
        ++familyRuns[which];
        familyDecoded[which] += got.accepted ? 1 : 0;
        if (asked && !got.accepted) {
            std::cout << family.name << " at " << take.rate << " Hz, " << 20 * std::log10(take.level) << " dBFS, "
                      << snr << " dB" << (pink ? " pink" : "") << (echoes ? ", echoes" : "") << (hum ? ", hum" : "")
                      << (pump ? ", compressor" : "") << (clicks ? ", clicks" : "") << ": "
                      << zendrik::ReceptionAdvice(got.report) << "\n";
        }
    }
    int decoded = 0;
    std::cout << "decoded of " << runs << ":";
    for (std::size_t f = 0; f < Families().size(); ++f) {
        std::cout << " " << Families()[f].name << " " << familyDecoded[f] << "/" << familyRuns[f];
        EXPECT_GE(4 * familyDecoded[f], 3 * familyRuns[f]) << Families()[f].name;
        decoded += familyDecoded[f];
    }
    std::cout << ", " << decoded << " in all\n";
}

// A mix of two sounds, the second starting `delay` seconds in.
std::vector<float> Overlap(std::vector<float> a, const std::vector<float>& b, std::size_t delay) {
    a.resize(std::max(a.size(), delay + b.size()), 0.0f);
    for (std::size_t i = 0; i < b.size(); ++i) a[delay + i] += b[i];
    return a;
}

TEST(SecondReceiver, BrokenTransfersAreNeverAccepted) {
    const Take take{48000, 1.0, 4410, 0.3,
                    [](std::vector<float>& x, int, double l) { AddNoise(x, l, 20, false, 12); }};
    testing_streams::S410Values values;
    values.hr = {120, 125, 131, 140, 151, 149, 138, 133};
    const testing_streams::Stream whole = testing_streams::BuildS410Stream(values);

    // A block cut out of the sound: the head still announces it.
    Bytes cut = whole.bytes;
    cut.erase(cut.begin() + static_cast<std::ptrdiff_t>(whole.blockAt[1]),
              cut.begin() + static_cast<std::ptrdiff_t>(whole.blockAt[2]));
    // A bit flipped in a block's data.
    Bytes flipped = whole.bytes;
    flipped[testing_streams::DataAt(whole, 1, 4)] ^= 0x10;
    for (const Bytes& broken : {cut, flipped}) {
        const zendrik::SecondReception got = ReceiveClip(Record({"S410", broken, 490}, take));
        EXPECT_FALSE(got.accepted);
        EXPECT_EQ(got.report.failure, ReceptionFailure::BlocksFail);
        EXPECT_LT(got.report.blocksGood, got.report.blocksTotal);
        EXPECT_NE(zendrik::ReceptionAdvice(got.report).find("blocks fail their check"),
                  std::string::npos);
    }

    // Two transfers at once, the second starting at every point of a frame: whatever is taken
    // is one of them, byte for byte.
    testing_streams::S410Values other = values;
    other.hr = {90, 95, 99, 104, 111, 118, 122, 126};
    const Bytes second = testing_streams::BuildS410Stream(other).bytes;
    for (const Family& family : Families()) {
        const std::vector<float> a = Sound(family.bytes, family.bitRate, take);
        const Family& otherFamily = &family == &Families().front() ? Families()[1] : Families()[0];
        const std::vector<float> b = Sound(otherFamily.bytes, otherFamily.bitRate, take);
        for (double share : {0.1, 0.37, 0.55}) {
            AudioClip clip{Overlap(a, b, static_cast<std::size_t>(share * a.size())), take.rate};
            AddNoise(clip.samples, take.level, 20, false, 13);
            const zendrik::SecondReception got = ReceiveClip(clip);
            EXPECT_TRUE(!got.accepted || got.bytes == family.bytes || got.bytes == otherFamily.bytes)
                << family.name << " over " << otherFamily.name << " at " << share;
        }
    }
}

TEST(SecondReceiver, ChecklessTransfersNeedCleanFramesThatTwoPassesAgreeOn) {
    const Family& rs200 = Families()[3];
    const Take take{44100, 1.0, 4410, 0.3, nullptr};
    const std::size_t period = 90;
    const std::size_t lead = static_cast<std::size_t>(take.rate / 2);
    // A data bit of some frames carries the tone at half strength: no filter can tell what the
    // watch sent there, and no checksum would notice a wrong guess.
    for (int weakened : {1, 4}) {
        AudioClip clip = Record(rs200, take);
        for (int k = 0; k < weakened; ++k) {
            // Frames are 12 bit periods with their gap; bit 5 is data bit 4.
            const std::size_t at = lead + static_cast<std::size_t>(40 + 60 * k) * 12 * period + 5 * period;
            for (std::size_t i = 0; i < period; ++i) {
                clip.samples[at + i] = static_cast<float>(
                    0.5 * take.level * std::sin(2 * std::numbers::pi * take.toneHz * i / take.rate));
            }
        }
        const zendrik::SecondReception got = ReceiveClip(clip);
        EXPECT_FALSE(got.accepted) << weakened;
        EXPECT_EQ(got.report.failure, ReceptionFailure::NotConfident) << weakened;
        EXPECT_NE(zendrik::FormatReceptionReport(got.report).find("could not be read with confidence"),
                  std::string::npos);
    }
}

// A one sent a bit rate below the tone falls in the boxcar filter's null and reads as a clean
// zero; the triangle filter reads it half way. Only the second pass shows that the bit is not to
// be believed. A stop bit that sounds is a frame out of step, clean as its bits may look.
TEST(SecondReceiver, ChecklessTransfersRefuseWhatOnlyOneFilterReadsCleanly) {
    const Family& rs200 = Families()[3];
    const Take take{44100, 1.0, 4410, 0.3, nullptr};
    const std::size_t period = 90;  // 44100 / 490, as the modulator rounds it
    const std::size_t lead = static_cast<std::size_t>(take.rate / 2);
    for (std::size_t frame : {20u, 60u}) {
        while (rs200.bytes.at(frame) == 0) ++frame;
        int one = 0;
        while (!(rs200.bytes[frame] >> one & 1)) ++one;
        for (int bit : {1 + one, 9}) {  // a data bit that is one, the stop bit
            const double hz = bit == 9 ? take.toneHz : take.toneHz - rs200.bitRate;
            AudioClip clip = Record(rs200, take);
            // Frames are 12 bit periods with their gap.
            const std::size_t at = lead + (frame * 12 + static_cast<std::size_t>(bit)) * period;
            for (std::size_t i = 0; i < period; ++i) {
                clip.samples[at + i] =
                    static_cast<float>(take.level * std::sin(2 * std::numbers::pi * hz * i / take.rate));
            }
            const zendrik::SecondReception got = ReceiveClip(clip);
            EXPECT_FALSE(got.accepted) << "frame " << frame << ", bit " << bit;
            EXPECT_EQ(got.report.failure, ReceptionFailure::NotConfident) << "frame " << frame << ", bit " << bit;
        }
    }
}

// Blocks a checksum covers are taken from whichever reading gets them right. A whistle over a
// quiet bit of each of two blocks, one a bit rate below the tone (in the boxcar filter's null,
// but half heard by the triangle filter), one one and a half below and louder (more heard by the
// boxcar than by the triangle), leaves no reading with every block good.
TEST(SecondReceiver, JoinsBlocksThatDifferentReadingsGetRight) {
    const Family& s410 = Families().front();
    const Take take{44100, 1.0, 4410, 0.3, nullptr};
    AudioClip clip = Record(s410, take);
    const std::size_t period = 90;
    // The first quiet data bit of the block starting at byte `block`, past its framing.
    auto quietBit = [&](std::size_t block) {
        for (std::size_t byte = block + 3;; ++byte) {
            for (int bit = 1; bit <= 8; ++bit) {
                if (!(s410.bytes.at(byte) >> (bit - 1) & 1)) return (byte * 12 + static_cast<std::size_t>(bit)) * period;
            }
        }
    };
    const std::size_t second = 13 + s410.bytes[15] + 5u;
    const struct {
        std::size_t at;
        double rates;  // bit rates below the tone
        double strength;
    } whistles[] = {{quietBit(13), 1.0, 2.0}, {quietBit(second), 1.5, 4.0}};
    for (const auto& w : whistles) {
        for (std::size_t i = 0; i < period; ++i) {
            clip.samples[take.rate / 2 + w.at + i] += static_cast<float>(
                w.strength * take.level * std::sin(2 * std::numbers::pi * (take.toneHz - w.rates * 490) * i / take.rate));
        }
    }
    const zendrik::SecondReception got = ReceiveClip(clip);
    EXPECT_TRUE(got.accepted && got.bytes == s410.bytes) << zendrik::FormatReceptionReport(got.report);
}

// A transfer's first six bytes are the same in every transfer: one of them spoilt (a one where
// the third 0xAA sends a zero) is taken as sent where the head and blocks after it check out.
// An RS200's blocks carry no checksum, and its frames are all judged as read: it is refused.
TEST(SecondReceiver, ASpoiltTransferStartIsTakenAsSent) {
    for (std::size_t which : {0u, 2u, 3u}) {
        const Family& family = Families()[which];
        const Take take{48000, 1.0, 4410, 0.3, nullptr};
        AudioClip clip = Record(family, take);
        const std::size_t period = static_cast<std::size_t>(std::lround(48000.0 / family.bitRate));
        const std::size_t at = static_cast<std::size_t>(take.rate / 2) + (2 * 12 + 1) * period;
        for (std::size_t i = 0; i < period; ++i) {
            clip.samples[at + i] = static_cast<float>(take.level * std::sin(2 * std::numbers::pi * take.toneHz * i / take.rate));
        }
        AddNoise(clip.samples, take.level, 30, false, 25);
        const zendrik::SecondReception got = ReceiveClip(clip);
        if (which == 3) {
            EXPECT_FALSE(got.accepted) << family.name;
            continue;
        }
        EXPECT_TRUE(got.accepted && got.bytes == family.bytes) << family.name << ": " << zendrik::FormatReceptionReport(got.report);
    }
}

// Bytes no checksum covers (the S410/S510 and Coach heads but for their fixed bytes and what the
// blocks must agree with, every RS200/CS200 block) are taken only from clean frames that a second
// pass reads alike, with nothing beside the tone: a bit whose sound the watch did not send is
// refused there, whichever way the filters read it.
TEST(SecondReceiver, UncheckedBytesWithADoubtfulBitAreRefused) {
    // HalfTone: the bit's burst at half strength. ToneABitRateAbove: a burst beside the tone.
    // AntiphaseHalf: a one whose second half is cancelled by a burst in antiphase, as a second
    // transfer under this one can do: over the whole bit it reads as a clear zero, the
    // wrong value, and only its halves read apart show that it is not. GapFilled: a zero between
    // two ones carries their tone at 70 %, LoneWeakened: a one between two zeros at 30 %, as a
    // lossy codec leaves them; each reads as the wrong value past the middle band.
    enum class Fault { HalfTone, ToneABitRateAbove, AntiphaseHalf, GapFilled, LoneWeakened };
    struct Row {
        std::size_t family;  // in Families()
        std::size_t byte;
        int bit;  // of the frame: 0 start, 1-8 data, 9 stop; -1 its first data bit that is a one
        Fault fault;
    };
    const Row rows[] = {
        {0, 7, 3, Fault::HalfTone},   {0, 11, 2, Fault::HalfTone},  {1, 12, 5, Fault::HalfTone},
        {1, 8, 1, Fault::HalfTone},
        {2, 7, 6, Fault::HalfTone},   {2, 8, 4, Fault::HalfTone},   {2, 9, 1, Fault::HalfTone},
        {2, 10, 8, Fault::HalfTone},  {0, 12, 0, Fault::ToneABitRateAbove},
        {3, 42, 1, Fault::ToneABitRateAbove}, {3, 107, 2, Fault::ToneABitRateAbove},
        {0, 11, -1, Fault::AntiphaseHalf}, {2, 9, -1, Fault::AntiphaseHalf},
        {3, 60, -1, Fault::AntiphaseHalf}, {4, 200, -1, Fault::AntiphaseHalf},
        {0, 12, -1, Fault::GapFilled}, {2, 10, -1, Fault::GapFilled}, {3, 60, -1, Fault::GapFilled},
        {4, 90, -1, Fault::GapFilled}, {0, 7, -1, Fault::LoneWeakened}, {2, 9, -1, Fault::LoneWeakened},
        {3, 90, -1, Fault::LoneWeakened}, {4, 70, -1, Fault::LoneWeakened},
    };
    // ZENDRIK_DOUBTFUL_THROUGH="ffmpeg options" (e.g. "-c:a aac -b:a 128k") sends each broken
    // recording through that codec as well and prints which are taken, asserting nothing: a
    // codec's own smear adds to the fault, and not every such recording is refused yet.
    const char* codec = std::getenv("ZENDRIK_DOUBTFUL_THROUGH");
    if (codec && !testing_wave::HaveFfmpeg()) GTEST_SKIP() << "the ffmpeg command is not installed";
    for (const Row& row : rows) {
        const Family& family = Families()[row.family];
        const Take take{44100, 1.0, 4410, 0.3, nullptr};
        AudioClip clip = Record(family, take);
        // Bit j of the frame: the start bit a one, the stop bit a zero.
        const int frame = 1 | family.bytes.at(row.byte) << 1;
        auto sent = [&](int j) { return (frame >> j & 1) != 0; };
        auto fits = [&](int j) {
            switch (row.fault) {
                case Fault::AntiphaseHalf: return sent(j);
                case Fault::GapFilled: return !sent(j) && sent(j - 1) && sent(j + 1);
                case Fault::LoneWeakened: return sent(j) && !sent(j - 1) && !sent(j + 1);
                default: return true;
            }
        };
        int bit = row.bit;
        while (bit < 0 || !fits(bit)) {
            bit = bit < 0 ? 1 : bit + 1;
            ASSERT_LE(bit, 8) << family.name << " byte " << row.byte << " has no such bit";
        }
        const std::size_t period = static_cast<std::size_t>(std::lround(44100.0 / family.bitRate));
        const std::size_t at = static_cast<std::size_t>(take.rate / 2) +
                               (row.byte * 12 + static_cast<std::size_t>(bit)) * period;
        const double strength = row.fault == Fault::HalfTone       ? 0.5
                                : row.fault == Fault::GapFilled    ? 0.7
                                : row.fault == Fault::LoneWeakened ? 0.3
                                                                   : 1.0;
        const double hz = row.fault == Fault::ToneABitRateAbove ? take.toneHz + family.bitRate : take.toneHz;
        for (std::size_t i = 0; i < period; ++i) {
            const double sign = row.fault == Fault::AntiphaseHalf && 2 * i >= period ? -1.0 : 1.0;
            clip.samples[at + i] = static_cast<float>(sign * strength * take.level *
                                                      std::sin(2 * std::numbers::pi * hz * i / take.rate));
        }
        AddNoise(clip.samples, take.level, 30, false, 19);
        if (codec) clip.samples = ThroughFfmpeg(clip, codec, "doubtful-bit.m4a");
        const zendrik::SecondReception got = ReceiveClip(clip);
        if (codec) {
            std::cout << family.name << " byte " << row.byte << ", bit " << bit << ", fault "
                      << static_cast<int>(row.fault) << ": "
                      << (!got.accepted ? "refused" : got.bytes == family.bytes ? "taken, right" : "TAKEN WRONG") << "\n";
            continue;
        }
        EXPECT_FALSE(got.accepted) << family.name << " byte " << row.byte << ", bit " << bit
                                   << (got.bytes == family.bytes ? "" : ", with wrong bytes");
        EXPECT_EQ(got.report.failure, ReceptionFailure::NotConfident) << family.name << " byte " << row.byte;
    }
}

TEST(SecondReceiver, FindsTheToneAmongHumBeepsAndPinkNoise) {
    for (double tone : {1500.0, 2750.0, 6100.0}) {
        Take take{48000, 1.0, tone, 0.1, nullptr};
        AudioClip clip = Record(Families().front(), take);
        AddHum(clip.samples, take.rate, 0.3);
        AddNoise(clip.samples, take.level, 12, true, 14);
        // A start beep ten times louder than the tone.
        for (std::size_t i = 0; i < static_cast<std::size_t>(take.rate / 4); ++i) {
            clip.samples[i] += static_cast<float>(std::sin(2 * std::numbers::pi * 1000.0 * i / take.rate));
        }
        const std::vector<zendrik::CarrierCandidate> found =
            zendrik::FindCarriers(clip.samples.data(), static_cast<std::ptrdiff_t>(clip.samples.size()),
                                  clip.sampleRate, 3);
        // The beep may rank first; the tone is among the candidates, well within its own
        // bandwidth (bursts keyed at 490 bit/s spread several hundred hertz).
        EXPECT_TRUE(std::any_of(found.begin(), found.end(),
                                [&](const auto& c) { return std::fabs(c.hz - tone) < 45.0; }))
            << tone;
        // Under hum three times and a beep ten times as loud as the tone, the second filter may
        // not read the head bytes no checksum covers as the first does: then nothing is taken.
        const zendrik::SecondReception got = ReceiveClip(clip);
        EXPECT_TRUE(got.accepted ? got.bytes == Families().front().bytes
                                 : got.report.failure == ReceptionFailure::NotConfident)
            << tone;
    }
}

// Recordings near the edge of what the receiver reads: a tone as loud as the noise over the whole
// band, clocks further off than the fixed retries cover, and a whistle louder than the tone. Each
// stage (filter, threshold, clock recovery, choice of tone) has to do its share for these.
TEST(SecondReceiver, ReadsAtTheEdgeOfItsReach) {
    struct Row {
        std::size_t family;  // in Families()
        int rate;
        double speed;
        double snrDb;      // white noise; none above 90
        unsigned seed;
        double whistleHz;  // a steady whistle at 0.5 full scale; none at 0
    };
    const Row rows[] = {
        {0, 44100, 1.0, 0, 32, 0},     {2, 44100, 1.0, 0, 31, 0},     {2, 44100, 1.0, 0, 32, 0},
        {0, 48000, 0.95, 20, 40, 0},   {0, 48000, 1.06, 20, 40, 0},   {2, 48000, 0.93, 20, 40, 0},
        {2, 48000, 1.07, 20, 40, 0},   {3, 48000, 0.95, 20, 40, 0},   {3, 48000, 1.06, 20, 40, 0},
        {0, 48000, 1.0, 99, 0, 1200},  {0, 48000, 1.0, 99, 0, 7000},
    };
    for (const Row& row : rows) {
        const Family& family = Families()[row.family];
        const Take take{row.rate, row.speed, 4410, row.whistleHz > 0 ? 0.1 : 0.3, nullptr};
        AudioClip clip = Record(family, take);
        if (row.snrDb < 90) AddNoise(clip.samples, take.level, row.snrDb, false, row.seed);
        for (std::size_t i = 0; i < clip.samples.size() && row.whistleHz > 0; ++i) {
            clip.samples[i] += static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * row.whistleHz * i / row.rate));
        }
        const zendrik::SecondReception got = ReceiveClip(clip);
        // As loud as the noise, the S410's head bytes no checksum covers do not always read
        // cleanly, and are then not taken on trust; nor are the Coach's (random content there)
        // with its clock 7 % off, whose bits the preamble's period places a little off.
        const bool clockFarOff = std::fabs(row.speed - 1.0) > 0.065;
        if (((row.snrDb <= 0 && family.bitRate == 490) || (clockFarOff && row.family == 2)) && !got.accepted) {
            EXPECT_EQ(got.report.failure, ReceptionFailure::NotConfident);
            continue;
        }
        EXPECT_TRUE(got.accepted && got.bytes == family.bytes)
            << family.name << " at " << row.rate << " Hz, speed " << row.speed << ", SNR " << row.snrDb
            << " dB, whistle " << row.whistleHz << " Hz: " << zendrik::FormatReceptionReport(got.report);
    }
    // The Coach's slower bits gather more of the tone: 1 dB below the noise over the whole band,
    // every one of these recordings reads. A window shorter than a bit, a mixer off the tone or
    // a tone taken a bin off each lose some of them.
    const Family& coach = Families()[2];
    for (unsigned seed = 50; seed < 58; ++seed) {
        const Take take{44100, 1.0, 4410, 0.3, nullptr};
        AudioClip clip = Record(coach, take);
        AddNoise(clip.samples, take.level, -1, false, seed);
        const zendrik::SecondReception got = ReceiveClip(clip);
        EXPECT_TRUE(got.accepted && got.bytes == coach.bytes) << "seed " << seed;
    }
}

TEST(SecondReceiver, FindsATransferAnywhereInALongRecording) {
    // As when the recorder ran long before the watch was started, or was stopped late: a short
    // transfer 40 s into a minute, one after five minutes of room noise, one at the start of
    // nine minutes of noise as loud as during the transfer.
    struct Row {
        const char* name;
        double seconds;  // of the whole recording
        double at;       // where the transfer starts
        bool pink;
        double snrDb;
    } rows[] = {
        {"a minute, 40 s in", 60, 40, true, 15},
        {"after five minutes of room noise", 310, 300, true, 15},
        {"at the start of nine minutes of noise", 545, 0, false, 14},
    };
    const Family& s410 = Families().front();
    for (const Row& row : rows) {
        const Take take{48000, 1.0, 3700, 0.1, nullptr};
        const std::vector<float> sound = Sound(s410.bytes, s410.bitRate, take);
        AudioClip clip{std::vector<float>(static_cast<std::size_t>(row.seconds * 48000), 0.0f), 48000};
        std::copy(sound.begin(), sound.end(), clip.samples.begin() + static_cast<std::ptrdiff_t>(row.at * 48000));
        AddNoise(clip.samples, take.level, row.snrDb, row.pink, 18);
        const zendrik::SecondReception got = ReceiveClip(clip);
        EXPECT_TRUE(got.accepted && got.bytes == s410.bytes)
            << row.name << "\n" << zendrik::FormatReceptionReport(got.report);
    }
}

TEST(SecondReceiver, ReadsEveryTransferOfARecordingInOrder) {
    // Three transfers one after another, of two bit rates, in noise: each is found where it
    // sounds, whichever bit rate is tried first.
    const Take take{48000, 1.0, 4410, 0.3, nullptr};
    std::vector<float> sound;
    std::vector<const Family*> sent = {&Families()[1], &Families()[2], &Families()[0]};
    std::vector<double> starts;
    for (const Family* family : sent) {
        starts.push_back(static_cast<double>(sound.size()) / take.rate);
        const std::vector<float> one = Sound(family->bytes, family->bitRate, take);
        sound.insert(sound.end(), one.begin(), one.end());
    }
    AudioClip clip{sound, take.rate};
    AddNoise(clip.samples, take.level, 20, false, 7);
    const zendrik::SecondReception got = zendrik::ReceiveClip(clip, zendrik::FamilyStreamFormats(), 8);
    ASSERT_EQ(got.transfers.size(), sent.size()) << zendrik::FormatReceptionReport(got.report);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(got.transfers[i].bytes, sent[i]->bytes) << sent[i]->name;
        // Half a second of quiet leads each one in.
        EXPECT_NEAR(static_cast<double>(got.transfers[i].firstSample) / take.rate, starts[i] + 0.5, 0.05);
    }
    EXPECT_EQ(got.bytes, sent.front()->bytes);
    // Asked for one, it reads the first only.
    EXPECT_EQ(ReceiveClip(clip).transfers.size(), 1u);
}

TEST(SecondReceiver, StreamedReceptionIsTheWholeClips) {
    // Read in passes from a source, a recording gives the transfers, places, bytes and report
    // lines it gives read whole: wherever its transfers are, however many, with clicks and
    // samples past full scale to repair, and when none is accepted.
    struct Row {
        const char* name;
        double seconds;
        std::vector<std::pair<const Family*, double>> sent;  // what starts where (s)
        double cutAt;  // the recording ends this far into the last transfer (share); 0: not
        bool clicks;
    };
    const Family* s410 = &Families()[0];
    const Family* coach = &Families()[2];
    const Row rows[] = {
        {"at the start", 30, {{s410, 0}}, 0, false},
        {"in the middle", 40, {{coach, 17}}, 0, true},
        {"at the end", 35, {{s410, 31}}, 0, false},
        {"two of them", 45, {{s410, 3}, {coach, 30}}, 0, true},
        {"cut off by the end", 30, {{s410, 27}}, 0.6, false},
        {"none", 20, {}, 0, true},
    };
    for (const Row& row : rows) {
        const Take take{48000, 1.0, 3700, 0.2, nullptr};
        AudioClip clip{std::vector<float>(static_cast<std::size_t>(row.seconds * take.rate), 0.0f), take.rate};
        for (const auto& [family, at] : row.sent) {
            std::vector<float> sound = Sound(family->bytes, family->bitRate, take);
            const std::size_t from = static_cast<std::size_t>(at * take.rate);
            if (row.cutAt > 0) sound.resize(static_cast<std::size_t>(row.cutAt * static_cast<double>(sound.size())));
            sound.resize(std::min(sound.size(), clip.samples.size() - from));
            std::copy(sound.begin(), sound.end(), clip.samples.begin() + static_cast<std::ptrdiff_t>(from));
        }
        AddNoise(clip.samples, take.level, 18, true, 9);
        if (row.clicks) {
            Clicks(clip.samples, {0.1, 0.42, 0.77}, 0.9f);
            clip.samples[clip.samples.size() / 3] = 3.0f;
        }
        const zendrik::SecondReception whole = zendrik::ReceiveClip(clip, zendrik::FamilyStreamFormats(), 4);
        ClipSource source(clip);
        const zendrik::SecondReception streamed = zendrik::ReceiveSource(source, zendrik::FamilyStreamFormats(), 4);
        EXPECT_EQ(whole.transfers.size(), row.cutAt > 0 ? 0 : row.sent.size()) << row.name;
        EXPECT_EQ(testing_streams::ReceptionSummary(streamed), testing_streams::ReceptionSummary(whole)) << row.name;
        // A WAV file read a block at a time gives what its 16-bit samples give held whole.
        if (row.sent.size() == 1) continue;
        std::vector<std::int16_t> pcm(clip.samples.size());
        for (std::size_t i = 0; i < pcm.size(); ++i) {
            pcm[i] = static_cast<std::int16_t>(std::lround(std::clamp(clip.samples[i] * 32768.0f, -32768.0f, 32767.0f)));
        }
        std::stringstream file;
        ASSERT_TRUE(zendrik::WriteWaveStream(file, pcm, take.rate));
        zendrik::WaveSource wave;
        ASSERT_TRUE(wave.Open(file, nullptr, zendrik::WaveChannel::ToneBandLoudest));
        EXPECT_EQ(testing_streams::ReceptionSummary(zendrik::ReceiveSource(wave, zendrik::FamilyStreamFormats(), 4)),
                  testing_streams::ReceptionSummary(zendrik::ReceiveSamples(
                      pcm.data(), std::ssize(pcm), take.rate, zendrik::FamilyStreamFormats(), 4)))
            << row.name;
    }
}

TEST(SecondReceiver, MeasuresTheBitPeriodAndFollowsLevelSteps) {
    const Family& s410 = Families().front();
    for (double speed : {0.97, 0.99, 1.03}) {
        const Take take{48000, speed, 4410, 0.3, nullptr};
        const zendrik::SecondReception got = ReceiveClip(Record(s410, take));
        ASSERT_TRUE(got.accepted) << speed;
        const double sent = std::lround(take.rate / (490 * speed));
        EXPECT_NEAR(got.report.bitPeriodSamples, sent, 0.004 * sent) << speed;
        EXPECT_EQ(got.report.bitsPerSecond, 490);
    }
    // The level swings through 40 dB and back every two seconds, as a watch moved about near
    // the microphone makes it: no one threshold for the whole recording can follow that.
    const Take take{44100, 1.0, 4410, 0.5, [](std::vector<float>& x, int rate, double) {
                        for (std::size_t i = 0; i < x.size(); ++i) {
                            const double phase = 2 * std::numbers::pi * static_cast<double>(i) / (2.0 * rate);
                            x[i] *= static_cast<float>(std::pow(10.0, -(1.0 - std::cos(phase))));
                        }
                    }};
    for (const Family& family : Families()) {
        const zendrik::SecondReception got = ReceiveClip(Record(family, take));
        EXPECT_TRUE(got.accepted && got.bytes == family.bytes) << family.name;
    }
}

// A frame anchored off the steady pace (a codec moved its start edge) is read again where its
// neighbours put it; frames in step are left as they were read.
TEST(FrameReader, HoldsFramesToTheirNeighboursPace) {
    const Family& s410 = Families().front();
    const Take take{48000, 1.0, 4410, 0.3, [](std::vector<float>& x, int, double l) { AddNoise(x, l, 30, false, 19); }};
    const AudioClip clip = Record(s410, take);
    const double period = 48000.0 / 490;
    const zendrik::MixedChunks mixed = zendrik::MixDown(clip.samples.data(), static_cast<std::ptrdiff_t>(clip.samples.size()),
                                                        clip.sampleRate, take.toneHz, 6);
    const zendrik::ToneEnvelope envelope(mixed, period, zendrik::ToneFilter::Boxcar);
    const zendrik::LevelTracks tracks = zendrik::TrackLevels(envelope, period);
    const zendrik::FrameRun run = zendrik::ReadFrames(envelope, tracks, period, 0);
    const double pace = zendrik::FramePace(run, period);
    EXPECT_NEAR(pace, 12 * std::lround(period), 0.2 * period);  // ten bits and two quiet ones

    // The transfer's bytes among the frames (the noise before and after it gives frames too).
    auto transfer = [&](const zendrik::FrameRun& frames) {
        Bytes all;
        for (const zendrik::Frame& frame : frames.frames) all.push_back(frame.value);
        const auto at = std::search(all.begin(), all.end(), s410.bytes.begin(), s410.bytes.begin() + 14);
        return at == all.end() ? Bytes{} : Bytes(at, std::min(all.end(), at + static_cast<std::ptrdiff_t>(s410.bytes.size())));
    };
    ASSERT_EQ(transfer(run), s410.bytes);
    EXPECT_EQ(transfer(zendrik::HoldToPace(envelope, run, period, pace)), s410.bytes);
    zendrik::FrameRun moved = run;
    for (std::size_t i = 40; i < moved.frames.size() && i < 100; i += 7) {
        moved.frames[i].start += (i % 2 ? 0.6 : -0.9) * period;
        moved.frames[i].value ^= 0x5a;
    }
    ASSERT_NE(transfer(moved), s410.bytes);
    const zendrik::FrameRun held = zendrik::HoldToPace(envelope, moved, period, pace);
    EXPECT_EQ(transfer(held), s410.bytes);
    for (std::size_t i = 40; i < 100 && i < held.frames.size(); ++i) {
        EXPECT_NEAR(held.frames[i].start, run.frames[i].start, 0.1 * period) << i;
    }
}

TEST(SecondReceiver, SaysWhyNothingWasAccepted) {
    AudioClip noise{std::vector<float>(48000 * 3, 0.0f), 48000};
    AddNoise(noise.samples, 0.1, 0, true, 15);
    EXPECT_EQ(ReceiveClip(noise).report.failure, ReceptionFailure::NoTone);
    // A steady whistle is a tone, but carries no transfer.
    AudioClip whistle{std::vector<float>(48000 * 3), 48000};
    for (std::size_t i = 0; i < whistle.samples.size(); ++i) {
        whistle.samples[i] = static_cast<float>(0.2 * std::sin(2 * std::numbers::pi * 3000.0 * i / 48000));
    }
    const zendrik::ReceptionReport steady = ReceiveClip(whistle).report;
    EXPECT_EQ(steady.failure, ReceptionFailure::NoStreamHead);
    // Its level is told only as far as bits were read from it.
    const std::string told = zendrik::FormatReceptionReport(steady);
    EXPECT_NE(told.find("Tone: 3000 Hz"), std::string::npos) << told;
    EXPECT_EQ(told.find("-200"), std::string::npos) << told;
    for (int rate : {0, 7999, 192001}) {
        const zendrik::SecondReception got =
            ReceiveClip({Sound(Families().front().bytes, 490, Take{}), rate});
        EXPECT_EQ(got.report.failure, ReceptionFailure::NoSound) << rate;
        EXPECT_FALSE(zendrik::ReceptionAdvice(got.report).empty());
    }
    EXPECT_EQ(ReceiveClip({}).report.failure, ReceptionFailure::NoSound);
    // Blocks that all pass in a transfer that still fails (its head disagrees with them) are not
    // "0 of 5 blocks" failing.
    zendrik::ReceptionReport headWrong;
    headWrong.failure = ReceptionFailure::BlocksFail;
    headWrong.blocksGood = headWrong.blocksTotal = 5;
    EXPECT_EQ(zendrik::ReceptionAdvice(headWrong).find("0 of"), std::string::npos);
}

TEST(TransferAcceptance, OnlyWholeTransfersWithEveryCheckPassingAreComplete) {
    testing_streams::S410Values values;
    values.hr = {120, 125, 131};
    const testing_streams::Stream s410 = testing_streams::BuildS410Stream(values);
    testing_streams::CoachValues coachValues;
    coachValues.hr = {110, 120, 130};
    const testing_streams::Stream coach = testing_streams::BuildCoachStream(coachValues);
    const Bytes rs200 = testing_streams::BuildRs200Stream(testing_streams::RunValues{});

    struct Row {
        const char* name;
        Bytes bytes;
        bool complete;
        bool arrived;  // every byte the head announces is there
    };
    auto changed = [](Bytes b, std::size_t at, int x) { b.at(at) ^= static_cast<std::uint8_t>(x); return b; };
    auto shorter = [](Bytes b, std::size_t by) { b.resize(b.size() - by); return b; };
    const std::size_t s410Last = s410.blockAt.back();
    const Row rows[] = {
        {"S410 whole", s410.bytes, true, true},
        {"S410 checksum", changed(s410.bytes, s410Last + 3, 1), false, true},
        {"S410 block number", changed(s410.bytes, s410Last + 1, 4), false, true},
        {"S410 length field", changed(s410.bytes, 9, 1), false, true},  // announces fewer
        {"S410 last byte missing", shorter(s410.bytes, 1), false, false},
        {"Coach whole", coach.bytes, true, true},
        {"Coach checksum", changed(coach.bytes, coach.blockAt[1] + 5, 0x80), false, true},
        {"Coach last block missing", shorter(coach.bytes, 17), false, false},
        {"RS200 whole", rs200, true, true},
        {"RS200 head checksum", changed(rs200, 7, 2), false, true},
        {"RS200 last bytes missing", shorter(rs200, 3), false, false},
        {"no blocks", changed(s410.bytes, 8, s410.bytes[8]), false, false},
    };
    for (const Row& row : rows) {
        const zendrik::TransferCheck check =
            zendrik::CheckTransfer(testing_streams::ToReceived(row.bytes), zendrik::FamilyStreamFormats());
        EXPECT_EQ(check.complete, row.complete) << row.name;
        EXPECT_EQ(check.arrived, row.arrived) << row.name;
    }
    // Found after junk, with the length its head and blocks give.
    Bytes junk = {0x12, 0xAA, 0xAA, 0x55, 0xFF};
    for (std::uint8_t b : coach.bytes) junk.push_back(b);
    junk.push_back(0x00);
    const zendrik::TransferCheck found =
        zendrik::FindTransfer(junk, zendrik::FamilyStreamFormats());
    EXPECT_TRUE(found.complete);
    EXPECT_EQ(found.start, 5);
    EXPECT_EQ(found.length, static_cast<std::ptrdiff_t>(coach.bytes.size()));
    EXPECT_EQ(found.watchModel, 2);
}

// A changed byte fails its own block and no other, wherever the block is: a check that passes
// over the first or any other block would let a wrong transfer through.
TEST(TransferAcceptance, AChangedByteFailsItsOwnBlockWhereverItIs) {
    testing_streams::S410Values s410Values;
    s410Values.hr = std::vector<int>(120, 130);
    testing_streams::CoachValues coachValues;
    coachValues.hr = std::vector<int>(36, 140);
    const testing_streams::Stream s410 = testing_streams::BuildS410Stream(s410Values);
    const testing_streams::Stream coach = testing_streams::BuildCoachStream(coachValues);
    struct Row {
        const char* name;
        const testing_streams::Stream& stream;
        std::size_t (*dataAt)(const testing_streams::Stream&, std::size_t, std::size_t);
    };
    for (const Row& row : {Row{"S410", s410, testing_streams::DataAt},
                           Row{"Coach", coach, testing_streams::CoachDataAt}}) {
        const int blocks = static_cast<int>(row.stream.blockAt.size());
        ASSERT_GE(blocks, 3) << row.name;
        for (int k = 0; k < blocks; ++k) {
            Bytes bytes = row.stream.bytes;
            bytes[row.dataAt(row.stream, static_cast<std::size_t>(k), 1)] ^= 0x04;
            const zendrik::TransferCheck check =
                zendrik::FindTransfer(bytes, zendrik::FamilyStreamFormats());
            EXPECT_FALSE(check.complete) << row.name << " block " << k;
            EXPECT_EQ(check.blocksGood, blocks - 1) << row.name << " block " << k;
        }
    }
}

// The file path: what the exact receiver reads stays its; the rest goes to the second receiver,
// and the report is the one the transfer's own bytes give.
TEST(SecondReceiver, FilePathFallsBackToTheSecondReceiver) {
    const Family& s410 = Families().front();
    Document fromDump;
    ASSERT_EQ(fromDump.DecodeBytes(testing_streams::ToReceived(s410.bytes), ModelBy::StreamHead), 1);
    ASSERT_EQ(fromDump.Valid(), 1);

    struct Row {
        int rate;
        double noiseSnr;
        zendrik::ReceiverUsed receiver;
    };
    for (const Row& row : {Row{44100, 40, zendrik::ReceiverUsed::Exact},
                           Row{48000, 40, zendrik::ReceiverUsed::Second},
                           Row{44100, 12, zendrik::ReceiverUsed::Second}}) {
        Take take{row.rate, 1.0, 4410, 0.3, nullptr};
        AudioClip clip = Record(s410, take);
        AddNoise(clip.samples, take.level, row.noiseSnr, false, 16);
        std::vector<std::int16_t> pcm(clip.samples.size());
        for (std::size_t i = 0; i < pcm.size(); ++i) {
            pcm[i] = static_cast<std::int16_t>(std::lround(std::clamp(clip.samples[i], -1.0f, 0.999f) * 32768));
        }
        const std::string path = testing_streams::TempPath("second-receiver.wav");
        {
            std::ofstream file(path, std::ios::binary | std::ios::trunc);
            ASSERT_TRUE(WriteWaveStream(file, pcm, row.rate));
        }
        for (bool asClip : {false, true}) {
            Document data;
            data.SetWatchModel(1);
            ASSERT_EQ(asClip ? testing_streams::OpenInto(data, DocumentInput{.clip = &clip}) : testing_streams::OpenInto(data, path), 1);
            // A clip at another rate than the exact receiver's skips it.
            const zendrik::ReceiverUsed expected =
                asClip && row.rate != 44100 ? zendrik::ReceiverUsed::Second : row.receiver;
            EXPECT_EQ(data.Reception().receiver, expected) << row.rate;
            EXPECT_EQ(data.Valid(), 1) << row.rate;
            EXPECT_EQ(data.Hrm(), fromDump.Hrm()) << row.rate;
            EXPECT_EQ(data.Reception().sampleRate, row.rate);
            const std::string told = zendrik::FormatReceptionReport(data.Reception());
            EXPECT_NE(told.find(std::to_string(row.rate) + " Hz"), std::string::npos) << told;
            EXPECT_NE(told.find("Blocks good: 3 of 3"), std::string::npos) << told;
        }
    }

    // An 8-bit recording as a recorder writes it: its levels stay below 100, so the exact
    // receiver's integer reference is 0 and every bit reads 1.
    Take take{48000, 1.0, 4410, 0.6, nullptr};
    AudioClip clip = Record(s410, take);
    AddNoise(clip.samples, take.level, 25, false, 17);
    std::vector<std::uint8_t> pcm8(clip.samples.size());
    for (std::size_t i = 0; i < pcm8.size(); ++i) {
        pcm8[i] = static_cast<std::uint8_t>(128 + std::lround(std::clamp(clip.samples[i], -1.0f, 1.0f) * 127));
    }
    const std::string path = testing_wave::WriteWaveBytes(
        testing_wave::WaveFileMaker().Format({1, 1, 48000, 8}).Data(pcm8).Bytes(), "eight-bit.wav");
    Document eightBit;
    ASSERT_EQ(testing_streams::OpenInto(eightBit, path), 1);
    EXPECT_EQ(eightBit.Reception().receiver, zendrik::ReceiverUsed::Second);
    EXPECT_EQ(eightBit.Valid(), 1);
    EXPECT_EQ(eightBit.Hrm(), fromDump.Hrm());

    // An RS200 watch 3 % slow at 44100 Hz: the exact receiver's fixed timing misreads data bytes,
    // and nothing checks them. Where the second receiver is sure of other bytes, they are taken.
    const Family& rs200 = Families()[3];
    const Take slow{44100, 0.97, 4410 * 0.97, 0.3, nullptr};
    AudioClip slowClip = Record(rs200, slow);
    AddNoise(slowClip.samples, slow.level, 50, false, 20);
    std::vector<std::int16_t> slowPcm(slowClip.samples.size());
    for (std::size_t i = 0; i < slowPcm.size(); ++i) slowPcm[i] = static_cast<std::int16_t>(std::lround(slowClip.samples[i] * 32767));
    const std::string slowPath = testing_streams::TempPath("rs200-slow.wav");
    {
        std::ofstream file(slowPath, std::ios::binary | std::ios::trunc);
        ASSERT_TRUE(WriteWaveStream(file, slowPcm, 44100));
    }
    for (bool asClip : {false, true}) {
        Document data;
        data.SetWatchModel(4);
        ASSERT_EQ(asClip ? testing_streams::OpenInto(data, DocumentInput{.clip = &slowClip}) : testing_streams::OpenInto(data, slowPath), 1);
        EXPECT_EQ(data.Reception().receiver, zendrik::ReceiverUsed::Second) << asClip;
        EXPECT_EQ(data.Bytes(), testing_streams::ToReceived(rs200.bytes)) << asClip;
    }
}

}  // namespace
