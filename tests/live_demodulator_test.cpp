// The live demodulator reuses earlier passes; its bytes must always be those of a full run.
#include "reception/live_demodulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "decoders/families.h"
#include "reception/demodulator.h"
#include "reception/modulator.h"

using namespace zendrik;

namespace {

constexpr std::ptrdiff_t kBlock = 10000;

std::vector<std::uint8_t> RandomBytes(std::mt19937& rng, std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(rng() & 0xFF);
    return bytes;
}

// Feeds the recording in blocks (of kBlock samples, or of the sizes `nextBlock` picks) and
// checks every pass against a full run; returns the number of passes that differed.
template <typename NextBlock>
int PassesDifferingFromFullRun(const std::vector<std::int16_t>& sound, BitTiming timing, NextBlock nextBlock) {
    LiveDemodulator live;
    ReceivedBytes incremental;
    ReceivedBytes full;
    int differing = 0;
    for (std::size_t at = 0; at < sound.size();) {
        const std::ptrdiff_t count =
            std::min<std::ptrdiff_t>(nextBlock(), static_cast<std::ptrdiff_t>(sound.size() - at));
        live.Append(sound.data() + at, count);
        at += static_cast<std::size_t>(count);
        live.Demodulate(timing, incremental);
        DemodulateSamples(live.Samples().data(), live.SampleCount(), DemodVariant::Live, timing, full);
        if (incremental.Elements() != full.Elements()) ++differing;
    }
    return differing;
}

void ExpectEveryPassMatchesFullRun(const std::vector<std::int16_t>& sound, BitTiming timing) {
    EXPECT_EQ(PassesDifferingFromFullRun(sound, timing, [] { return kBlock; }), 0);
}

std::int16_t Clamped(double value) {
    return static_cast<std::int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
}

// A recording of random pieces: hiss of any level, rumble (slow noise, as from handling the
// microphone), a short transfer at either bit timing fading in or out, digital silence, clicks.
// Little is much louder than the noise, so many start windows and data bits lie close to their
// thresholds; the rumble's long rises and falls make back-fills reach far, and quiet hiss has
// many flat peaks, which fill nothing.
std::vector<std::int16_t> RandomRecording(std::mt19937& rng) {
    auto below = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto noise = [&](int peak) { return below(2 * peak + 1) - peak; };
    const int hiss = 20 + below(1500);
    std::vector<std::int16_t> sound;
    for (int piece = 3 + below(5); piece > 0; --piece) {
        const int length = 500 + below(15000);
        switch (below(6)) {
            case 0: {
                const int peak = 1 + below(hiss);
                for (int i = 0; i < length; ++i) sound.push_back(static_cast<std::int16_t>(noise(peak)));
                break;
            }
            case 1:
            case 2: {
                const double smooth = 0.7 + below(28) / 100.0;
                const int peak = 1 + below(hiss);
                double level = 0;
                for (int i = 0; i < length; ++i) {
                    level = smooth * level + noise(peak);
                    sound.push_back(Clamped(level + noise(peak / 4)));
                }
                break;
            }
            case 3: {
                ModulatorSettings settings;
                settings.bitPeriod = below(2) ? 90 : 225;
                settings.amplitude = hiss + below(4 * hiss);
                settings.noise = below(hiss);
                settings.leadIn = below(3000);
                settings.leadOut = below(3000);
                settings.seed = rng();
                const std::vector<std::int16_t> transfer = ModulateBytes(RandomBytes(rng, 2 + below(6)), settings);
                const double from = below(101) / 100.0;
                const double to = below(101) / 100.0;
                for (std::size_t i = 0; i < transfer.size(); ++i) {
                    const double gain = from + (to - from) * static_cast<double>(i) / static_cast<double>(transfer.size());
                    sound.push_back(Clamped(transfer[i] * gain));
                }
                break;
            }
            case 4:
                sound.insert(sound.end(), static_cast<std::size_t>(length), 0);
                break;
            case 5: {
                const int click = below(8) == 0 ? 32767 : hiss * (2 + below(4));
                for (int i = 0; i < length; ++i) {
                    sound.push_back(Clamped(below(2000) == 0 ? (below(2) ? click : -click - 1) : noise(hiss)));
                }
                break;
            }
        }
    }
    return sound;
}

}  // namespace

TEST(LiveDemodulator, EveryPassEqualsAFullRunOverTransfers) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 6; ++trial) {
        ModulatorSettings settings;
        settings.seed = static_cast<std::uint32_t>(trial + 1);
        settings.amplitude = 4000 + trial * 4000;
        std::vector<std::int16_t> sound = ModulateBytes(RandomBytes(rng, 200), settings);
        ExpectEveryPassMatchesFullRun(sound, BitTimingFor(1, 44100));
    }
    ModulatorSettings coach = ModulatorSettingsFor(BitTimingFor(2, 44100));
    ExpectEveryPassMatchesFullRun(ModulateBytes(RandomBytes(rng, 60), coach), BitTimingFor(2, 44100));
}

TEST(LiveDemodulator, EveryPassEqualsAFullRunOverRandomRecordingsInRandomBlocks) {
    std::mt19937 rng(16);
    int passes = 0;
    int differing = 0;
    for (int trial = 0; trial < 120; ++trial) {
        const std::vector<std::int16_t> sound = RandomRecording(rng);
        const BitTiming timing = BitTimingFor(rng() % 2 ? kModelS410 : kModelCoach, rng() % 2 ? 44100 : 22050);
        // Blocks of any size up to 6000 samples, and now and then of a sample or two.
        auto nextBlock = [&rng, &passes] {
            ++passes;
            return static_cast<std::ptrdiff_t>(rng() % 4 == 0 ? 1 + rng() % 3 : 1 + rng() % 6000);
        };
        const int trialDiffering = PassesDifferingFromFullRun(sound, timing, nextBlock);
        EXPECT_EQ(trialDiffering, 0) << "trial " << trial;
        differing += trialDiffering;
    }
    EXPECT_EQ(differing, 0) << "of " << passes << " passes";
}

TEST(LiveDemodulator, ALouderSampleLaterChangesTheWholeRun) {
    std::mt19937 rng(3);
    ModulatorSettings quiet;
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
    std::vector<std::int16_t> sound = ModulateBytes(RandomBytes(rng, 80), ModulatorSettings{});
    LiveDemodulator live;
    ReceivedBytes bytes;
    ReceivedBytes full;
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
