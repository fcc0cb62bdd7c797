#include "reception/modulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <fstream>
#include <numbers>
#include <random>
#include <set>
#include <vector>

#include "decoders/families.h"
#include "reception/demodulator.h"
#include "document/document.h"
#include "support/open_document.h"
#include "reception/wave_reader.h"
#include "reception/wave_writer.h"
#include "support/s410_stream_builder.h"

using namespace zendrik;

namespace {

struct Channel {
    const char* name;
    int sampleRate;
    int watchModel;
    DemodVariant variant;
};

std::vector<std::uint8_t> RandomBytes(std::mt19937& rng, int count) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
    for (auto& b : bytes) b = static_cast<std::uint8_t>(byte(rng));
    return bytes;
}

// A recording made byte by byte, each byte with its own loudness (down to 3/4 of the loudest)
// and its own bit period, about one percent (at least one sample) off the receiver's: a watch
// moving in front of the microphone, sending with a clock of its own.
std::vector<std::int16_t> UnsteadyRecording(const std::vector<std::uint8_t>& bytes,
                                            const ModulatorSettings& base, std::mt19937& rng) {
    const int slop = std::max(1, base.bitPeriod / 90);
    std::uniform_int_distribution<int> period(base.bitPeriod - slop, base.bitPeriod + slop);
    std::uniform_int_distribution<int> loudness(75, 100);
    const std::vector<std::int16_t> hiss = ModulateBytes({}, base);  // lead-in and lead-out only
    std::vector<std::int16_t> out(hiss.begin(), hiss.begin() + base.leadIn);
    for (std::uint8_t b : bytes) {
        ModulatorSettings one = base;
        one.leadIn = one.leadOut = 0;
        one.bitPeriod = period(rng);
        one.amplitude = base.amplitude * loudness(rng) / 100;
        one.seed = static_cast<std::uint32_t>(rng());
        const std::vector<std::int16_t> frame = ModulateBytes({b}, one);
        out.insert(out.end(), frame.begin(), frame.end());
    }
    out.insert(out.end(), hiss.begin() + base.leadIn, hiss.end());
    return out;
}

std::vector<int> AsReceived(const std::vector<std::uint8_t>& bytes) {
    return std::vector<int>(bytes.begin(), bytes.end());
}

}  // namespace

TEST(ModulatorRoundTrip, RandomStreamsSurviveLoudnessNoiseAndClockDrift) {
    const Channel channels[] = {
        {"file, fast", 44100, 1, DemodVariant::File},
        {"file, Coach", 44100, 2, DemodVariant::File},
        {"live, fast", 44100, 1, DemodVariant::Live},
        {"live, Coach", 44100, 2, DemodVariant::Live},
        {"live 22050, fast", 22050, 1, DemodVariant::Live},
        {"live 22050, Coach", 22050, 2, DemodVariant::Live},
    };
    std::mt19937 rng(20060305);
    std::uniform_int_distribution<int> amplitude(3000, 30000);
    std::uniform_int_distribution<int> length(1, 80);
    for (const Channel& channel : channels) {
        const BitTiming timing = BitTimingFor(channel.watchModel, channel.sampleRate);
        for (int trial = 0; trial < 12; ++trial) {
            ModulatorSettings settings;
            settings.sampleRate = channel.sampleRate;
            settings.bitPeriod = timing.period;
            settings.leadIn = settings.leadOut = channel.sampleRate / 4;
            settings.amplitude = amplitude(rng);
            settings.noise = settings.amplitude / 10;
            const std::vector<std::uint8_t> bytes = RandomBytes(rng, length(rng));
            const std::vector<std::int16_t> sound = UnsteadyRecording(bytes, settings, rng);

            ReceivedBytes received;
            DemodulateSamples(sound.data(), static_cast<std::ptrdiff_t>(sound.size()),
                              channel.variant, timing, received);
            EXPECT_EQ(received.Elements(), AsReceived(bytes))
                << channel.name << ", trial " << trial << ", amplitude " << settings.amplitude;
        }
    }
}

TEST(ModulatorRoundTrip, RecordingsReadFromWaveFiles) {
    std::mt19937 rng(410);
    for (int model : {1, 2}) {
        const std::vector<std::uint8_t> bytes = RandomBytes(rng, 40);
        const std::string path = testing_streams::TempPath("round-trip.wav");
        {
            std::ofstream file(path, std::ios::binary | std::ios::trunc);
            ASSERT_TRUE(WriteWaveStream(
                file, ModulateBytes(bytes, ModulatorSettingsFor(BitTimingFor(model, 44100))),
                44100));
        }
        std::ifstream file(path, std::ios::binary);
        WaveSamples wave;
        ASSERT_TRUE(ReadWaveStream(file, wave));
        ReceivedBytes received;
        DemodulateSamples(wave.samples.get(), wave.count, DemodVariant::File, BitTimingFor(model, 44100),
                          received);
        EXPECT_EQ(received.Elements(), AsReceived(bytes)) << "model " << model;
    }

    // A whole S410 transfer, from sound to a report that may be saved.
    testing_streams::S410Values values;
    values.hr = {120, 125, 131, 140, 151, 149, 138};
    const std::vector<std::uint8_t> stream = testing_streams::BuildS410Stream(values).bytes;
    const std::string path = testing_streams::TempPath("s410.wav");
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        ASSERT_TRUE(WriteWaveStream(
            file, ModulateBytes(stream, ModulatorSettingsFor(BitTimingFor(1, 44100))), 44100));
    }
    Document data;
    ASSERT_EQ(testing_streams::OpenInto(data, path), 1);
    EXPECT_EQ(data.Bytes().Elements(), AsReceived(stream));
    EXPECT_EQ(data.Valid(), 1);
    EXPECT_NE(data.Hrm().find("[HRData]"), std::string::npos);
}

// What a watch may do otherwise than the default keyed sine: each option changes the bursts as it
// says and nothing else (the quiet stays quiet, the bursts stay where the bits are).
TEST(Modulator, BurstShapeEdgesPhaseAndLevelAsAsked) {
    ModulatorSettings base;
    base.sampleRate = 48000;
    base.bitPeriod = 96;
    base.toneHz = 3000;  // 6 cycles a bit
    base.amplitude = 10000;
    base.noise = 0;
    base.leadIn = base.leadOut = 0;
    const std::vector<std::uint8_t> bytes(40, 0x00);  // each frame a lone start bit, then quiet
    const std::size_t frame = 12 * 96;
    // The burst of frame k, and how strongly harmonic h of the tone sounds in it.
    auto burst = [&](const std::vector<std::int16_t>& x, std::size_t k) {
        return std::vector<std::int16_t>(x.begin() + static_cast<std::ptrdiff_t>(k * frame),
                                         x.begin() + static_cast<std::ptrdiff_t>(k * frame + 96));
    };
    auto harmonic = [&](const std::vector<std::int16_t>& b, int h) {
        std::complex<double> sum = 0;
        for (std::size_t i = 0; i < b.size(); ++i) sum += static_cast<double>(b[i]) * std::polar(1.0, -2 * std::numbers::pi * h * 3000.0 * i / 48000);
        return 2 * std::abs(sum) / static_cast<double>(b.size());
    };
    auto peak = [](const std::vector<std::int16_t>& b) {
        int most = 0;
        for (std::int16_t v : b) most = std::max(most, std::abs(static_cast<int>(v)));
        return most;
    };
    const std::vector<std::int16_t> sine = ModulateBytes(bytes, base);
    EXPECT_LT(harmonic(burst(sine, 0), 3), 100);
    EXPECT_EQ(burst(sine, 0), burst(sine, 1));  // a keyed oscillator: every burst alike

    ModulatorSettings buzzer = base;
    buzzer.shape = BurstShape::Square;
    buzzer.edgeSamples = 24;
    const std::vector<std::int16_t> square = ModulateBytes(bytes, buzzer);
    ASSERT_EQ(square.size(), sine.size());
    const std::vector<std::int16_t> b = burst(square, 0);
    EXPECT_NEAR(harmonic(b, 3) / harmonic(b, 1), 1.0 / 3, 0.05);  // odd harmonics at 1/k
    EXPECT_LT(harmonic(b, 2), 0.02 * harmonic(b, 1));
    EXPECT_LT(peak(std::vector<std::int16_t>(b.begin(), b.begin() + 6)), 2000);  // rising softly
    EXPECT_LT(peak(std::vector<std::int16_t>(b.end() - 6, b.end())), 2000);
    EXPECT_EQ(peak(std::vector<std::int16_t>(square.begin() + 96, square.begin() + frame)), 0);

    // At 3100 Hz a frame is not a whole number of cycles: a running oscillator starts the second
    // burst where it has got to, a keyed one where it started the first.
    ModulatorSettings running = base;
    running.toneHz = 3100;
    const std::vector<std::int16_t> keyed = ModulateBytes({0x00, 0x00}, running);
    running.freeRunning = true;
    const std::vector<std::int16_t> free = ModulateBytes({0x00, 0x00}, running);
    EXPECT_EQ(burst(keyed, 0), burst(keyed, 1));
    EXPECT_EQ(burst(free, 0), burst(keyed, 0));
    for (std::size_t i = frame; i < frame + 96; i += 7) {
        EXPECT_NEAR(free[i], 10000 * std::sin(2 * std::numbers::pi * 3100 * static_cast<double>(i) / 48000), 1.0) << i;
    }

    ModulatorSettings uneven = base;
    uneven.levelSpread = 50;
    const std::vector<std::int16_t> levels = ModulateBytes(bytes, uneven);
    std::set<int> peaks;
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        const int p = peak(burst(levels, k));
        EXPECT_GE(p, 4900);
        EXPECT_LE(p, 10000);
        peaks.insert(p / 500);
    }
    EXPECT_GE(peaks.size(), 5u);
}
