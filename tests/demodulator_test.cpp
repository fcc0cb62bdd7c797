#include "reception/demodulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "decoders/families.h"
#include "reception/demodulator_steps.h"
#include "reception/live_decoder.h"
#include "reception/live_demodulator.h"
#include "reception/modulator.h"
#include "document/document.h"

using namespace zendrik;

namespace {

constexpr BitTiming kFast{90, 9};
constexpr BitTiming kCoach{225, 5};

std::vector<int> Demod(const std::vector<std::int16_t>& samples, DemodVariant variant,
                       BitTiming timing) {
    ReceivedBytes out;
    DemodulateSamples(samples.data(), static_cast<std::ptrdiff_t>(samples.size()), variant, timing,
                      out);
    return out.Elements();
}

// Samples whose file rectifier output (half the difference of neighbours) is exactly
// `envelope`: the signal zig-zags around 0 in steps of twice the wanted level.
std::vector<std::int16_t> SamplesWithEnvelope(const std::vector<int>& envelope) {
    std::vector<std::int16_t> s{0};
    for (int level : envelope) {
        const int last = s.back();
        s.push_back(static_cast<std::int16_t>(last >= 0 ? last - 2 * level : last + 2 * level));
    }
    return s;
}

// One frame whose ten periods (start bit, eight data bits, stop bit) have the given mean
// envelope levels, placed where the scan for frames begins, then quiet.
std::vector<std::int16_t> Frame(const std::array<int, 10>& levels, int period = 90) {
    std::vector<int> envelope{0};
    for (int level : levels) envelope.insert(envelope.end(), period, level);
    envelope.insert(envelope.end(), 100, 0);
    return SamplesWithEnvelope(envelope);
}

std::vector<std::int16_t> Alternating(int amplitude, std::size_t count) {
    std::vector<std::int16_t> s(count);
    for (std::size_t i = 0; i < count; ++i) {
        s[i] = static_cast<std::int16_t>(i % 2 ? -amplitude : amplitude);
    }
    return s;
}

}  // namespace

TEST(Demodulator, FindsNothingInEmptyShortOrSilentBuffers) {
    EXPECT_TRUE(Demod({}, DemodVariant::File, kFast).empty());

    // A steady tone is one frame of equal periods; the scan needs more than 10 periods plus the
    // start window plus one sample.
    for (BitTiming timing : {kFast, kCoach}) {
        const std::size_t limit = 10 * timing.period + timing.window + 1;
        EXPECT_TRUE(Demod(Alternating(1000, limit), DemodVariant::File, timing).empty());
        EXPECT_EQ(Demod(Alternating(1000, limit + 1), DemodVariant::File, timing),
                  std::vector<int>{0xFF});
        EXPECT_TRUE(Demod(Alternating(1000, limit), DemodVariant::Live, timing).empty());
    }

    ReceivedBytes out;
    out.Add(7);
    const std::vector<std::int16_t> zeros(5000, 0);
    DemodulateSamples(zeros.data(), 5000, DemodVariant::File, kFast, out);
    EXPECT_EQ(out.GetSize(), 0);
    DemodulateSamples(zeros.data(), 5000, DemodVariant::Live, kFast, out);
    EXPECT_EQ(out.GetSize(), 0);
}

TEST(Demodulator, ReadsDataBitsAgainstTheLastToneLevel) {
    auto read = [](const std::array<int, 10>& levels) {
        return Demod(Frame(levels), DemodVariant::File, kFast);
    };
    using V = std::vector<int>;
    EXPECT_EQ(read({1000, 0, 0, 0, 0, 0, 0, 0, 0, 0}), V{0x00});
    EXPECT_EQ(read({1000, 0, 0, 0, 0, 0, 0, 0, 0, 1000}), V{0x00});  // the stop bit is not read
    // Below a level of 100 the reference rounds down to 0 and silence reads as 1.
    EXPECT_EQ(read({99, 0, 0, 0, 0, 0, 0, 0, 0, 0}), V{0xFF});
    EXPECT_EQ(read({800, 800, 800, 800, 800, 800, 800, 800, 800, 800}), V{0xFF});
    // A weakening tone: 67 % of 1000 is still a 1 bit, one less is not.
    EXPECT_EQ(read({1000, 1000, 670, 0, 0, 0, 0, 0, 0, 0}), V{0x03});
    EXPECT_EQ(read({1000, 1000, 669, 0, 0, 0, 0, 0, 0, 0}), V{0x01});
    // The reference is renewed by every 1 bit and kept through 0 bits.
    EXPECT_EQ(read({1000, 1000, 2000, 1200, 0, 0, 0, 0, 0, 0}), V{0x03});
    EXPECT_EQ(read({1000, 1000, 600, 650, 0, 0, 0, 0, 0, 0}), V{0x01});
    EXPECT_EQ(read({1000, 0, 1000, 0, 1000, 0, 1000, 0, 1000, 0}), V{0xAA});
}

TEST(Demodulator, HoldsEachPeakUntilTheSignalFalls) {
    // A data period of one-sample spikes averages half its peak; held back over the preceding
    // samples, the peaks make it a full-level 1 bit.
    std::vector<int> envelope{0};
    envelope.insert(envelope.end(), 90, 1000);
    for (int i = 0; i < 90; ++i) envelope.push_back(i % 2 ? 1000 : 0);
    envelope.insert(envelope.end(), 8 * 90 + 100, 0);
    EXPECT_EQ(Demod(SamplesWithEnvelope(envelope), DemodVariant::File, kFast),
              std::vector<int>{0x01});
}

TEST(Demodulator, FileAndLiveVariantsStartFramesAtDifferentLevels) {
    // A strong frame, then a weak one at 30 % of its level: above the live start threshold
    // (25 %), below the file one (33 %).
    const std::array<int, 10> strong{1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000};
    const std::array<int, 10> weak{300, 300, 300, 300, 300, 300, 300, 300, 300, 300};
    std::vector<int> levels{0};
    for (const auto* frame : {&strong, &weak}) {
        for (int level : *frame) levels.insert(levels.end(), 90, level);
        levels.insert(levels.end(), 200, 0);
    }
    EXPECT_EQ(Demod(SamplesWithEnvelope(levels), DemodVariant::File, kFast),
              std::vector<int>{0xFF});
    // The live rectifier takes the samples' absolute values, so the levels can stand as they are.
    const std::vector<std::int16_t> live(levels.begin(), levels.end());
    EXPECT_EQ(Demod(live, DemodVariant::Live, kFast), (std::vector<int>{0xFF, 0xFF}));
}

TEST(Demodulator, StartThresholdIsAWholePercentOfTheSpanInWholeHundredths) {
    // A frame at the top of the envelope sets the span to 199; a second frame at `level` starts
    // only above the threshold: a third of the span's whole hundredths (1 x 33) for a recording,
    // a quarter (1 x 25) live. Rounding the span itself would put the threshold at 65 or 49.
    struct Case {
        DemodVariant variant;
        int level;
        bool starts;
    };
    const Case cases[] = {
        {DemodVariant::File, 34, true}, {DemodVariant::File, 33, false},
        {DemodVariant::Live, 26, true}, {DemodVariant::Live, 25, false},
    };
    for (const Case& c : cases) {
        std::vector<int> levels{0};
        for (int level : {199, c.level}) {
            levels.insert(levels.end(), 10 * kFast.period, level);
            levels.insert(levels.end(), 200, 0);
        }
        ReceivedBytes live;
        LiveDemodulator incremental;
        std::vector<std::int16_t> samples;
        if (c.variant == DemodVariant::File) {
            samples = SamplesWithEnvelope(levels);
        } else {
            samples.assign(levels.begin(), levels.end());
            incremental.Append(samples.data(), static_cast<std::ptrdiff_t>(samples.size()));
            incremental.Demodulate(kFast, live);
            EXPECT_EQ(live.GetSize(), c.starts ? 2 : 1) << "level " << c.level;
        }
        EXPECT_EQ(Demod(samples, c.variant, kFast).size(), c.starts ? 2u : 1u)
            << (c.variant == DemodVariant::File ? "file" : "live") << ", level " << c.level;
    }
}

TEST(Demodulator, FaintTransferBetweenAClickAndAFainterBlip) {
    // A faint transfer, a fainter blip before it and a click at the very end, too late to start
    // a frame but setting the span to 3299. The thresholds are 32 x 33 = 1056 for a recording
    // and 32 x 25 = 800 live; the transfer lies 16 above them and the blip 16 below, closer than
    // one percent of the span or than the span's own rounding. The tone at a quarter of the
    // sample rate makes the levels easy to place: the difference rectifier sees half its
    // amplitude, the live one all of it; the hiss moves them by at most its own peak.
    const std::vector<std::uint8_t> bytes{0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x55, 0x0A, 0x3C, 0x01, 0xC3};
    struct Case {
        DemodVariant variant;
        int toneAmplitude;
        int blipAmplitude;
    };
    for (const Case& c : {Case{DemodVariant::File, 2 * 1072, 2 * 1040}, Case{DemodVariant::Live, 816, 784}}) {
        ModulatorSettings settings;
        settings.toneHz = 44100 / 4.0;
        settings.amplitude = c.toneAmplitude;
        settings.noise = 4;
        std::vector<std::int16_t> sound = ModulateBytes(bytes, settings);
        ModulatorSettings blip = settings;
        blip.amplitude = c.blipAmplitude;
        blip.leadIn = blip.leadOut = 0;
        const std::vector<std::int16_t> blipSound = ModulateBytes({0xFF}, blip);
        std::copy(blipSound.begin(), blipSound.end(), sound.begin() + 5000);
        // The click: a difference of twice 3299 for the file rectifier, a level of 3299 live.
        sound[sound.size() - 100] = 3299;
        sound[sound.size() - 99] = c.variant == DemodVariant::File ? -3299 : 0;
        const std::vector<int> expected(bytes.begin(), bytes.end());
        EXPECT_EQ(Demod(sound, c.variant, kFast), expected);
        if (c.variant == DemodVariant::Live) {
            LiveDemodulator live;
            ReceivedBytes out;
            for (std::size_t at = 0; at < sound.size(); at += 7000) {
                live.Append(sound.data() + at, static_cast<std::ptrdiff_t>(std::min<std::size_t>(7000, sound.size() - at)));
                live.Demodulate(kFast, out);
            }
            EXPECT_EQ(out.Elements(), expected);
        }
    }
}

TEST(Demodulator, LiveVariantKeepsTheLoudestSamplePositive) {
    // Were |-32768| stored as -32768, the envelope would lie below the quiet end of the buffer
    // and no frame would start.
    const std::vector<std::int16_t> clipped(10 * 90 + 9 + 2, -32768);
    EXPECT_EQ(Demod(clipped, DemodVariant::Live, kFast), std::vector<int>{0xFF});
}

TEST(Demodulator, BitTimingFollowsTheModelAndTheCaptureRate) {
    for (int model : {1, 3, 4, 0, 9}) {
        EXPECT_EQ(BitTimingFor(model, 44100).period, 90) << model;
        EXPECT_EQ(BitTimingFor(model, 44100).window, 9) << model;
        EXPECT_EQ(BitTimingFor(model, 22050).period, 44) << model;
        EXPECT_EQ(BitTimingFor(model, 22050).window, 5) << model;
    }
    EXPECT_EQ(BitTimingFor(2, 44100).period, 225);
    EXPECT_EQ(BitTimingFor(2, 44100).window, 5);
    EXPECT_EQ(BitTimingFor(2, 22050).period, 113);
    EXPECT_EQ(BitTimingFor(2, 22050).window, 5);

    // A Coach recording read with the faster timing gives other bytes.
    const std::vector<std::uint8_t> bytes{0xAA, 0x55, 0x0A, 0x00, 0x3C};
    const std::vector<std::int16_t> coach =
        ModulateBytes(bytes, ModulatorSettingsFor(BitTimingFor(2, 44100)));
    const std::vector<int> expected(bytes.begin(), bytes.end());
    EXPECT_EQ(Demod(coach, DemodVariant::File, kCoach), expected);
    EXPECT_NE(Demod(coach, DemodVariant::File, kFast), expected);

    // The watch model setting picks the timing.
    EXPECT_EQ(Demod(coach, DemodVariant::File, BitTimingFor(2, 44100)), expected);
    EXPECT_NE(Demod(coach, DemodVariant::File, BitTimingFor(1, 44100)), expected);
}

namespace {

// The demodulator without its block shortcuts: every level, step and start window one at a time.
std::vector<int> PlainDemod(const std::vector<std::int16_t>& s, DemodVariant variant, BitTiming t,
                            std::vector<std::int16_t>& e) {
    const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(s.size());
    e.assign(s.size(), 0);
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        const int d = i + 1 < n ? s[i] - s[i + 1] : 0;
        e[i] = variant == DemodVariant::File ? static_cast<std::int16_t>((d < 0 ? -d : d) / 2)
                                             : demod::LiveLevel(s[i]);
    }
    std::ptrdiff_t anchor = 0;
    for (std::ptrdiff_t i = 0; i + 1 < n; ++i) {
        if (e[i] <= e[i + 1]) continue;
        if (anchor == 0) anchor = i;
        if (i > 0 && e[i] > e[i - 1] && anchor < i) std::fill(&e[anchor], &e[i], e[i]);
        anchor = i;
    }
    e[n - 1] = 0;
    const int threshold = demod::StartThreshold(0, *std::max_element(e.begin(), e.end()), variant == DemodVariant::File ? 33 : 25);
    std::vector<int> bytes;
    for (std::ptrdiff_t i = 1; i < n - 10 * t.period - t.window;) {
        int sum = 0;
        for (int j = 0; j < t.window; ++j) sum += e[i + j];
        if (sum / t.window <= threshold) {
            ++i;
            continue;
        }
        bytes.push_back(demod::ReadFrame(&e[i], t.period));
        i += 10 * t.period + 1;
    }
    return bytes;
}

// Sound handed over in blocks of a given size, so their edges fall anywhere in the envelope.
class BlockSource : public zendrik::SampleSource {
public:
    BlockSource(const std::vector<std::int16_t>& samples, std::size_t block)
        : samples_(samples), block_(block) {}
    int SampleRate() const override { return 44100; }
    bool Rewind() override {
        at_ = 0;
        return true;
    }
    std::ptrdiff_t Read(std::int16_t* out, std::ptrdiff_t most) override {
        const std::size_t n = std::min({block_, static_cast<std::size_t>(most), samples_.size() - at_});
        std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(at_), n, out);
        at_ += n;
        return static_cast<std::ptrdiff_t>(n);
    }

private:
    const std::vector<std::int16_t>& samples_;
    std::size_t block_;
    std::size_t at_ = 0;
};

// Whether the demodulator reading `s` a block at a time finds the bytes and frame starts the
// one reading it whole does.
void ExpectStreamedAsWhole(const std::vector<std::int16_t>& s, DemodVariant variant, BitTiming timing,
                           std::size_t block) {
    ReceivedBytes whole;
    whole.Add(7);  // left as it is when there are no samples
    std::vector<std::ptrdiff_t> wholeStarts;
    DemodulateSamples(s.data(), static_cast<std::ptrdiff_t>(s.size()), variant, timing, whole, nullptr,
                      &wholeStarts);
    ReceivedBytes streamed;
    streamed.Add(7);
    std::vector<std::ptrdiff_t> streamedStarts;
    BlockSource source(s, block);
    ASSERT_TRUE(DemodulateSource(source, variant, timing, streamed, &streamedStarts));
    ASSERT_EQ(streamed.Elements(), whole.Elements()) << s.size() << " samples in blocks of " << block;
    ASSERT_EQ(streamedStarts, wholeStarts);
}

}  // namespace

TEST(Demodulator, BlockShortcutsChangeNothing) {
    // Sound made of stretches that hit each shortcut's edge, of random lengths: exact silence,
    // a steady tone a level around either start threshold (a click of 30000 makes them 4950 for
    // the file rectifier and 7500 for the live one), hiss of a level or two, louder hiss, and
    // tone bursts.
    std::uint32_t state = 12345;
    auto next = [&](std::uint32_t below) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % below;
    };
    for (int run = 0; run < 60; ++run) {
        std::vector<std::int16_t> s;
        while (s.size() < 40000) {
            const std::size_t length = 1 + next(3000);
            const std::uint32_t kind = s.empty() ? 3 : next(6);
            const int steady = (next(2) ? 4950 : 7500) + static_cast<int>(next(3)) - 1;
            for (std::size_t k = 0; k < length; ++k) {
                int v = 0;
                if (kind == 1) v = k % 2 ? steady : -steady;
                if (kind == 2) v = static_cast<int>(next(400)) - 200;
                if (kind == 3) v = k == 0 ? 30000 : 0;
                if (kind == 4) v = (k / 45) % 2 ? static_cast<int>(next(20000)) - 10000 : 0;
                if (kind == 5) v = static_cast<int>(next(4));
                s.push_back(static_cast<std::int16_t>(v));
            }
        }
        for (DemodVariant variant : {DemodVariant::File, DemodVariant::Live}) {
            for (BitTiming timing : {kFast, kCoach}) {
                std::vector<std::int16_t> expectedEnvelope;
                const std::vector<int> expected = PlainDemod(s, variant, timing, expectedEnvelope);
                std::vector<std::int16_t> inPlace = s;
                ReceivedBytes out;
                DemodulateSamples(inPlace.data(), static_cast<std::ptrdiff_t>(inPlace.size()),
                                  variant, timing, out, inPlace.data());
                ASSERT_EQ(out.Elements(), expected) << "run " << run;
                ASSERT_EQ(inPlace, expectedEnvelope) << "run " << run;
                // Read a block at a time, its edges anywhere, by the exact file pass.
                ExpectStreamedAsWhole(s, variant, timing, 1 + (static_cast<std::size_t>(run) * 7919u) % 20000u);
            }
        }
    }
    // Too short for any frame, or for a step of the fill.
    for (std::size_t n = 0; n < 4; ++n) {
        ExpectStreamedAsWhole(std::vector<std::int16_t>(n, 9), DemodVariant::File, kFast, 1);
    }
}

TEST(Demodulator, TheStartThresholdComesFromTheSteppedEnvelope) {
    // Before a quieter transfer, the envelope's first fall is from its loudest level, and the
    // small peak right after it is filled back over it: the threshold follows the transfer. For
    // the live rectifier a click; for the file one a step of the signal, ramping back slowly.
    const std::vector<std::uint8_t> bytes = {0xAA, 0x55, 0x0A};
    const std::vector<int> expected(bytes.begin(), bytes.end());
    ModulatorSettings quiet;
    quiet.amplitude = 4000;
    const std::vector<std::int16_t> transfer = ModulateBytes(bytes, quiet);
    std::vector<std::int16_t> fileLead = {0, 0, 30000, 30000, 30200, 30200};
    for (int v = 30198; v > 0; v -= 2) fileLead.push_back(static_cast<std::int16_t>(v));
    const std::pair<DemodVariant, std::vector<std::int16_t>> cases[] = {
        {DemodVariant::Live, {0, 10000, -20000, 0, 100, 0}}, {DemodVariant::File, fileLead}};
    for (const auto& [variant, lead] : cases) {
        std::vector<std::int16_t> sound = lead;
        sound.insert(sound.end(), transfer.begin(), transfer.end());
        EXPECT_EQ(Demod(sound, variant, kFast), expected);
        if (variant != DemodVariant::Live) continue;
        // The live demodulator's pass reads the same.
        LiveDemodulator live;
        live.Append(sound.data(), static_cast<std::ptrdiff_t>(sound.size()));
        ReceivedBytes pass;
        live.Demodulate(kFast, pass);
        EXPECT_EQ(pass.Elements(), expected);
    }
}

TEST(Demodulator, ATimingWithoutPeriodOrWindowReadsNothing) {
    // The timing is handed in from the family table; an empty one must not read a frame at every
    // sample or divide by a zero period.
    const std::vector<std::int16_t> sound =
        ModulateBytes({0xAA, 0x55, 0x0A}, ModulatorSettingsFor(BitTimingFor(1, 44100)));
    ASSERT_EQ(Demod(sound, DemodVariant::File, kFast).size(), 3u);
    for (BitTiming timing :
         {BitTiming{0, 0}, BitTiming{0, 9}, BitTiming{90, 0}, BitTiming{-90, 9}}) {
        for (DemodVariant variant : {DemodVariant::File, DemodVariant::Live}) {
            EXPECT_TRUE(Demod(sound, variant, timing).empty())
                << timing.period << " " << timing.window;
        }
    }
    // So the live decoder reads nothing before it is told which transfer to expect.
    LiveDecoder decoder;
    decoder.OnSamples(sound.data(), static_cast<std::ptrdiff_t>(sound.size()));
    EXPECT_EQ(decoder.Bytes().GetSize(), 0);
}
