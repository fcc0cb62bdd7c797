#include "reception/modulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <vector>

#include "decoders/families.h"
#include "reception/demodulator.h"
#include "document/sonic_link_data.h"
#include "reception/wave_writer.h"
#include "support/s410_stream_builder.h"

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
                                            const CModulatorSettings& base, std::mt19937& rng) {
    const int slop = std::max(1, base.bitPeriod / 90);
    std::uniform_int_distribution<int> period(base.bitPeriod - slop, base.bitPeriod + slop);
    std::uniform_int_distribution<int> loudness(75, 100);
    const std::vector<std::int16_t> hiss = ModulateBytes({}, base);  // lead-in and lead-out only
    std::vector<std::int16_t> out(hiss.begin(), hiss.begin() + base.leadIn);
    for (std::uint8_t b : bytes) {
        CModulatorSettings one = base;
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
            CModulatorSettings settings;
            settings.sampleRate = channel.sampleRate;
            settings.bitPeriod = timing.period;
            settings.leadIn = settings.leadOut = channel.sampleRate / 4;
            settings.amplitude = amplitude(rng);
            settings.noise = settings.amplitude / 10;
            const std::vector<std::uint8_t> bytes = RandomBytes(rng, length(rng));
            const std::vector<std::int16_t> sound = UnsteadyRecording(bytes, settings, rng);

            CReceivedBytes received;
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
        CSonicLinkData data;
        data.m_nWatchModel = model;
        ASSERT_EQ(data.ReadWaveFile(path), 1);
        ASSERT_EQ(data.Demodulate(), 1);
        EXPECT_EQ(data.m_bytes.Elements(), AsReceived(bytes)) << "model " << model;
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
    CSonicLinkData data;
    ASSERT_EQ(data.DecodeWaveFile(path), 1);
    EXPECT_EQ(data.m_bytes.Elements(), AsReceived(stream));
    EXPECT_EQ(data.m_bValid, 1);
    EXPECT_NE(data.m_strHrm.find("[HRData]"), std::string::npos);
}
