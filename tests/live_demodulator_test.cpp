// The live demodulator reuses earlier passes; its bytes must always be those of a full run.
#include "reception/live_demodulator.h"

#include <gtest/gtest.h>

#include <random>

#include "reception/demodulator.h"
#include "reception/modulator.h"

namespace {

constexpr std::ptrdiff_t kBlock = 10000;

std::vector<std::uint8_t> RandomBytes(std::mt19937& rng, std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(rng() & 0xFF);
    return bytes;
}

// Feeds the recording block by block and checks every pass against a full run.
void ExpectEveryPassMatchesFullRun(const std::vector<std::int16_t>& sound, BitTiming timing) {
    CLiveDemodulator live;
    CReceivedBytes incremental;
    CReceivedBytes full;
    for (std::size_t at = 0; at < sound.size(); at += kBlock) {
        const std::ptrdiff_t count = std::min<std::ptrdiff_t>(kBlock, static_cast<std::ptrdiff_t>(sound.size() - at));
        live.Append(sound.data() + at, count);
        live.Demodulate(timing, incremental);
        DemodulateSamples(live.Samples().data(), live.SampleCount(), DemodVariant::Live, timing, full);
        ASSERT_EQ(incremental.Elements(), full.Elements()) << "after " << live.SampleCount() << " samples";
    }
}

}  // namespace

TEST(LiveDemodulator, EveryPassEqualsAFullRunOverTransfers) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 6; ++trial) {
        CModulatorSettings settings;
        settings.seed = static_cast<std::uint32_t>(trial + 1);
        settings.amplitude = 4000 + trial * 4000;
        std::vector<std::int16_t> sound = ModulateBytes(RandomBytes(rng, 200), settings);
        ExpectEveryPassMatchesFullRun(sound, BitTimingFor(1, 44100));
    }
    CModulatorSettings coach = ModulatorSettingsFor(2);
    ExpectEveryPassMatchesFullRun(ModulateBytes(RandomBytes(rng, 60), coach), BitTimingFor(2, 44100));
}

TEST(LiveDemodulator, ALouderSampleLaterChangesTheWholeRun) {
    std::mt19937 rng(3);
    CModulatorSettings quiet;
    quiet.amplitude = 3000;
    std::vector<std::int16_t> sound = ModulateBytes(RandomBytes(rng, 120), quiet);
    // A click far louder than the transfer raises the threshold over everything before it.
    sound[sound.size() - 5000] = -32768;
    sound[sound.size() - 4999] = 32767;
    ExpectEveryPassMatchesFullRun(sound, BitTimingFor(1, 44100));
}

TEST(LiveDemodulator, DigitalSilenceAndFillsReachingFarBack) {
    // Exact zeros have no falling steps, so the first peak after them fills back over all of
    // them: the envelope changes long before the newest block.
    std::vector<std::int16_t> sound(35000, 0);
    std::mt19937 rng(11);
    for (int burst = 0; burst < 6; ++burst) {
        for (int i = 0; i < 900; ++i) sound.push_back(static_cast<std::int16_t>((i % 2 ? 1 : -1) * (9000 + burst * 100)));
        sound.insert(sound.end(), 25000 + burst * 3000, 0);
    }
    for (int i = 0; i < 30000; ++i) sound.push_back(static_cast<std::int16_t>(static_cast<int>(rng() % 61) - 30));
    ExpectEveryPassMatchesFullRun(sound, BitTimingFor(1, 44100));
    ExpectEveryPassMatchesFullRun(sound, BitTimingFor(1, 22050));
}

TEST(LiveDemodulator, TrimmingAndClearingStartOver) {
    std::mt19937 rng(5);
    std::vector<std::int16_t> sound = ModulateBytes(RandomBytes(rng, 80), CModulatorSettings{});
    CLiveDemodulator live;
    CReceivedBytes bytes;
    CReceivedBytes full;
    live.Append(sound.data(), 45000);
    live.Demodulate(BitTimingFor(1, 44100), bytes);
    live.KeepLast(20000);
    ASSERT_EQ(live.SampleCount(), 20000);
    EXPECT_TRUE(std::equal(live.Samples().begin(), live.Samples().end(), sound.begin() + 25000));
    live.Append(sound.data() + 45000, 10000);
    live.Demodulate(BitTimingFor(1, 44100), bytes);
    DemodulateSamples(live.Samples().data(), live.SampleCount(), DemodVariant::Live, BitTimingFor(1, 44100), full);
    EXPECT_EQ(bytes.Elements(), full.Elements());
    live.Clear();
    live.Demodulate(BitTimingFor(1, 44100), bytes);
    EXPECT_EQ(bytes.GetSize(), 0);
}
