#include "reception/acceptance_rules.h"

#include <algorithm>
#include <cmath>

namespace zendrik {

namespace {

// How far (in bits) a frame may start from the transfer's steady pace and still count as clean.
constexpr double kMostPaceError = 0.2;
// How many of their spreads the halves of bits bordering the other value may stray beyond their
// median, and never as far as the middle between tone and quiet (0.5).
constexpr float kSmearSpreads = 5.0f;
constexpr float kMostBorderingStray = 0.5f;
// Neighbouring frequencies (in bit rates either side of the tone) looked at in each bit of a
// byte no checksum covers, and how loud they may be there: below the middle between the frame's
// quiet and its tone, which a tone off the watch's at full strength passes and hiss does not.
constexpr int kSideBins = 3;
constexpr float kMostSideShare = 0.5f;

std::vector<std::size_t> AllPositions(std::size_t count) {
    std::vector<std::size_t> positions(count);
    for (std::size_t i = 0; i < count; ++i) positions[i] = i;
    return positions;
}

// Whether the frames at `positions` each start at the steady pace of all of them, against the
// frame before and the one after. A watch sends its frames at a steady pace; a frame out of
// step is one read from other sound, such as a second transfer under this one, or one lost.
bool InStep(const std::vector<Frame>& frames, const std::vector<std::size_t>& positions,
            double period) {
    if (positions.empty()) return false;
    for (std::size_t i : positions) {
        if (i >= frames.size()) return false;
    }
    if (frames.size() <= 2) return true;
    std::vector<float> spacings;
    spacings.reserve(frames.size() - 1);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        spacings.push_back(static_cast<float>(frames[i].start - frames[i - 1].start));
    }
    const double pace = Median(spacings);
    auto inStep = [&](std::size_t spacing) {
        return spacing >= spacings.size() || std::fabs(spacings[spacing] - pace) <= kMostPaceError * period;
    };
    for (std::size_t i : positions) {
        if ((i > 0 && !inStep(i - 1)) || !inStep(i)) return false;
    }
    return true;
}

}  // namespace

bool AcceptanceRules::Confirmed(const Attempt& attempt) const {
    std::vector<std::size_t> positions;
    if (!attempt.check.checksumCovered) {
        positions = AllPositions(attempt.frames.size());
    } else {
        for (std::size_t i = 0; i < 32; ++i) {
            if (attempt.check.uncheckedHead >> i & 1) positions.push_back(i);
        }
        if (positions.empty()) return true;
    }
    if (!InStep(attempt.frames, positions, attempt.period)) return false;
    const TransferLevels levels = MeasureTransferLevels(attempt.frames);
    for (std::size_t i : positions) {
        if (!BitsStandClear(attempt.frames, levels, i)) return false;
    }
    return KeepToTheirRuns(attempt, positions, levels) &&
           HalvesAgree(attempt, positions, levels) && QuietBesideTheTone(attempt, positions);
}

const ToneEnvelope& AcceptanceRules::HalfBits() const {
    if (!halves_) halves_.emplace(mixed_, 0.5 * nominal_, ToneFilter::Triangle);
    return *halves_;
}

// Each bit between two of its value read again at its middle, where the sound of its
// neighbours does not reach, must keep to their level: a lossy codec fills a one-bit gap
// between bursts with some of their tone, and a retry's shifted reading adds a share of the
// neighbours to it, until the gap reads nearly as a one over the whole bit.
bool AcceptanceRules::KeepToTheirRuns(const Attempt& attempt, const std::vector<std::size_t>& positions,
                     const TransferLevels& levels) const {
    std::vector<BitMiddles> middles;
    middles.reserve(attempt.frames.size());
    for (const Frame& frame : attempt.frames) {
        middles.push_back(ReadMiddles(HalfBits(), frame, attempt.period));
    }
    const float dip = MeasureDip(attempt.frames, middles, levels);
    return std::all_of(positions.begin(), positions.end(), [&](std::size_t i) {
        return KeepsToItsRuns(attempt.frames[i], middles[i], levels, i, dip);
    });
}

// A second reading of every bit, from sound the first reading's noise does not share: each
// half of the bit on its own, each on the same side of the middle between tone and quiet as
// the whole bit. A burst that covers only part of a bit (a second transfer under this one,
// a click, a codec's smear) reads as a clear one or zero over the whole bit, but not in both
// halves. A half must stand clear of the middle by half the middle band; a half that borders
// a bit of the other value only by what the transfer's own such halves show: a lossy codec
// (AAC's pre-echo before a burst, its smear after one) moves every edge a little, so such a
// half of a right bit reads near the middle, on its side of it, as its like do all through
// the transfer. A half past the middle is never taken.
bool AcceptanceRules::HalvesAgree(const Attempt& attempt, const std::vector<std::size_t>& positions,
                 const TransferLevels& levels) const {
    const ToneEnvelope& halves = HalfBits();
    const double p = attempt.period;
    // Bit j of frame i (the quiet bit before it at -1, the stop bit at 9) and how far its half
    // (0 the first, 1 the second) lies towards the other value: 0 at its own level, 1 at the
    // other's; `borders` whether the bit on that side has the other value.
    auto stray = [&](std::size_t i, int j, int side, bool& borders) {
        const Frame& frame = attempt.frames[i];
        const int bits = 1 | frame.value << 1;  // the start bit, the data bits; the stop bit 0
        auto value = [&](int k) { return k >= 0 && k < kFrameBits && (bits >> k & 1); };
        const bool one = value(j);
        const int beside = side == 0 ? j - 1 : j + 1;
        borders = beside >= -1 && beside < kFrameBits && value(beside) != one;
        const float span = levels.one[i] - levels.zero[i];
        const float level = halves.At(frame.start + (j + 0.25 + 0.5 * side) * p);
        const float at = span > 0 ? (level - levels.zero[i]) / span : 0.5f;
        return one ? 1.0f - at : at;
    };
    // What the halves bordering the other value show over the whole transfer, per value and
    // side (a codec smears the start of a burst otherwise than its end): their median stray
    // and five of their spreads beyond it.
    std::vector<float> strays[2][2];
    for (std::size_t i = 0; i < attempt.frames.size() && i < levels.one.size(); ++i) {
        const int bits = 1 | attempt.frames[i].value << 1;
        for (int j = -1; j < kFrameBits; ++j) {
            for (int side = 0; side < 2; ++side) {
                bool borders = false;
                const float s = stray(i, j, side, borders);
                if (borders) strays[j >= 0 && (bits >> j & 1)][side].push_back(s);
            }
        }
    }
    const float clear = 0.5f - 0.5f * TransferLevels::kMiddleBand;
    float bordering[2][2];
    for (int one = 0; one < 2; ++one) {
        for (int side = 0; side < 2; ++side) {
            const std::vector<float>& s = strays[one][side];
            const float smear = Median(s) + kSmearSpreads * SpreadAboutMedian(s);
            bordering[one][side] = std::clamp(smear, clear, kMostBorderingStray);
        }
    }
    for (std::size_t i : positions) {
        const int bits = 1 | attempt.frames[i].value << 1;
        for (int j = -1; j < kFrameBits; ++j) {
            const bool one = j >= 0 && (bits >> j & 1);
            for (int side = 0; side < 2; ++side) {
                bool borders = false;
                const float s = stray(i, j, side, borders);
                if (!(s < (borders ? bordering[one][side] : clear))) return false;
            }
        }
    }
    return true;
}

// A tone beside the watch's (a whistle, a bit of another transfer) reaches both filters
// weakened, and can make a one they both read a clean zero; only the sound itself shows it.
bool AcceptanceRules::QuietBesideTheTone(const Attempt& attempt, const std::vector<std::size_t>& positions) const {
    // The bits lie where the watch put them: from the start bit without the retry's shift
    // of the sampling points, at the pace the preamble shows.
    double period = attempt.period;
    if (attempt.frames.size() >= 5) {
        const std::vector<Frame> preamble(attempt.frames.begin(), attempt.frames.begin() + 5);
        period = MeasureBitPeriod(box_, preamble, attempt.period);
    }
    auto bitStart = [&](const Frame& frame, int bit) {
        return frame.start - attempt.offset * attempt.period + bit * period;
    };
    // Their tone, more closely than the spectrum gives it: a burst a quarter bit rate off
    // these frequencies' middle would show beside itself.
    std::vector<std::pair<double, double>> ones;
    for (const Frame& frame : attempt.frames) {
        const int bits = 1 | frame.value << 1;
        for (int j = 0; j < 9 && ones.size() < kMostTuningBursts; ++j) {
            if (bits >> j & 1) ones.push_back({bitStart(frame, j), period});
        }
    }
    const double tone = RefineTone(sound_.samples, sound_.count, sound_.sampleRate,
                                   sound_.toneHz, ones);
    for (std::size_t i : positions) {
        const Frame& frame = attempt.frames[i];
        const double start = bitStart(frame, 0);
        const float limit = frame.zero + kMostSideShare * (frame.one - frame.zero);
        for (int j = 0; j < 10; ++j) {
            const float side = SideAmplitude(sound_.samples, sound_.count, sound_.sampleRate,
                                             tone, start + j * period, period, kSideBins);
            if (side > limit) return false;
        }
    }
    return true;
}

}  // namespace zendrik
