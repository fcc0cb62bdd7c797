#include "reception/second_receiver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "reception/demodulator.h"
#include "reception/modulator.h"
#include "reception/sonic_link_data.h"
#include "reception/stream_check.h"
#include "reception/transfer_acceptance.h"
#include "support/coach_stream_builder.h"
#include "support/rs200_stream_builder.h"
#include "support/s410_stream_builder.h"

namespace {

using zendrik::AudioClip;
using zendrik::ReceiveClip;
using zendrik::ReceptionFailure;
using Bytes = std::vector<std::uint8_t>;

struct Family {
    const char* name;
    Bytes bytes;
    int bitRate;  // what the watch sends at
};

const std::vector<Family>& Families() {
    static const std::vector<Family> families = [] {
        testing_streams::S410Values s410;
        s410.hr = {120, 125, 131, 140, 151, 149, 138, 133};
        testing_streams::S410Values s510 = s410;
        s510.s510 = true;
        s510.flags = 1;
        s510.speed = {40, 42, 45, 44, 41, 40, 38, 37};
        testing_streams::CoachValues coach;
        coach.hr = {110, 120, 130, 140, 150, 160, 150, 140, 130, 120, 110, 100};
        testing_streams::RunValues run;
        return std::vector<Family>{
            {"S410", testing_streams::BuildS410Stream(s410).bytes, 490},
            {"S510", testing_streams::BuildS410Stream(s510).bytes, 490},
            {"Coach", testing_streams::BuildCoachStream(coach).bytes, 196},
            {"RS200", testing_streams::BuildRs200Stream(run), 490},
        };
    }();
    return families;
}

// How a recording is made: the watch's sending and the room, microphone and recorder after it.
struct Take {
    int rate = 44100;
    double speed = 1.0;   // the watch's clock against the nominal one
    double toneHz = 4410;
    double level = 0.3;   // peak of the tone, full scale 1
    std::function<void(std::vector<float>&, int rate, double level)> impair;
};

// The watch's sound at a rate and speed, with half a second of quiet either side.
std::vector<float> Sound(const Bytes& bytes, int bitRate, const Take& take) {
    CModulatorSettings settings;
    settings.sampleRate = take.rate;
    settings.bitPeriod = static_cast<int>(std::lround(take.rate / (bitRate * take.speed)));
    settings.toneHz = take.toneHz;
    settings.amplitude = 32767;
    settings.noise = 0;
    settings.leadIn = settings.leadOut = take.rate / 2;
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

// A few decaying echoes, as a small room gives them.
void AddEchoes(std::vector<float>& x, int rate) {
    const double echoes[][2] = {{0.0031, 0.25}, {0.0074, 0.15}, {0.0139, 0.1}, {0.0227, 0.06}};
    const std::vector<float> dry = x;
    for (const auto& echo : echoes) {
        const std::size_t delay = static_cast<std::size_t>(echo[0] * rate);
        for (std::size_t i = delay; i < x.size(); ++i) x[i] += static_cast<float>(echo[1] * dry[i - delay]);
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
        {"clicks before and during", {44100, 1.0, 4410, 0.25,
                                      [](V& x, int, double) { Clicks(x, {0.02, 0.1, 0.37, 0.61, 0.83}, 0.9f); }}},
        {"speed -3 %", {48000, 0.97, 4278, 0.3,
                        [](V& x, int, double l) { AddNoise(x, l, 20, false, 6); }}},
        {"speed +3 %", {44100, 1.03, 4542, 0.3,
                        [](V& x, int, double l) { AddNoise(x, l, 20, false, 7); }}},
        {"room echoes", {44100, 1.0, 4410, 0.3,
                         [](V& x, int r, double l) { AddEchoes(x, r); AddNoise(x, l, 25, false, 8); }}},
        {"pumping compressor", {44100, 1.0, 4410, 0.3,
                                [](V& x, int r, double l) { AddNoise(x, l, 20, true, 9); Pump(x, r); }}},
        {"8-bit, quiet", {44100, 1.0, 4410, 0.05,
                          [](V& x, int, double l) { AddNoise(x, l, 25, false, 10); Quantize8(x); }}},
        {"phone in a room, 48000 Hz", {48000, 0.98, 4322, 0.05, [](V& x, int r, double l) {
                                           AddEchoes(x, r);
                                           AddHum(x, r, l * 0.5);
                                           AddNoise(x, l, 14, true, 11);
                                           Pump(x, r);
                                           Clicks(x, {0.05}, 0.8f);
                                       }}},
    };
}

TEST(SecondReceiver, ImpairedRecordingsOfEveryFamilyDecodeByteExact) {
    for (const Case& c : Corpus()) {
        for (const Family& family : Families()) {
            const zendrik::SecondReception got = ReceiveClip(Record(family, c.take));
            EXPECT_TRUE(got.accepted && got.bytes == family.bytes)
                << c.name << ", " << family.name << ": "
                << zendrik::FormatReceptionReport(got.report);
        }
    }
}

}  // namespace
