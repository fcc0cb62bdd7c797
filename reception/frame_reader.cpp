#include "reception/frame_reader.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <optional>

namespace zendrik {

namespace {

// A start bit counts only where the local peak stands this far above the local floor (a tone
// against noise rather than noise alone) and above digital silence.
constexpr float kPresence = 2.5f;
constexpr float kSilence = 1e-5f;
// A frame is believable when its tone is at least this much above its quiet bits.
constexpr float kMinContrast = 1.5f;
// A bit stands clear when the transfer's quiet reaches its level less often than once in
// exp(kQuietOdds) bits (a one), or when it lies this many of the tone's spreads below the
// tone's level (a zero). The quiet's level is Rayleigh distributed (the magnitude of noise in
// the tone's band): it exceeds x with probability exp(-x^2 / its mean square).
constexpr double kQuietOdds = 20.7;  // ln(10^9)
constexpr double kToneSpreads = 5.0;
// The least dip a bit may make against its neighbours, and how many of their spreads.
constexpr float kLeastDip = 0.25f;
constexpr float kDipSpreads = 5.0f;
// Frames either side whose levels are the levels around a frame, and whose bits' distances
// from those levels are the noise around it.
constexpr std::size_t kLevelNeighbours = 2;
constexpr std::size_t kNoiseNeighbours = 16;
// The spacings counted as the pace are those of a frame and a gap of up to this many bits in
// all, and a pace needs this many of them.
constexpr double kLongestPace = 16;
constexpr std::size_t kFewestPaced = 8;
// A frame is held to the pace its neighbours (this many either side) give, when at least this
// many of them lie within this many bits of it against the pace, and it is this many bits off.
constexpr std::size_t kPaceNeighbours = 6;
constexpr std::size_t kFewestPaceWitnesses = 4;
constexpr double kMostPaceShift = 1.5;
constexpr double kLeastPaceShift = 0.1;
// A measured bit period further than this from the nominal one is not believed.
constexpr double kMostClockError = 0.08;

// Sliding minimum (or maximum) over values[k - behind .. k + ahead].
std::vector<float> SlidingExtreme(const std::vector<float>& values, std::ptrdiff_t behind,
                                  std::ptrdiff_t ahead, bool maximum) {
    const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(values.size());
    std::vector<float> out(values.size());
    std::deque<std::ptrdiff_t> window;  // indices whose values are monotonic
    auto better = [&](float a, float b) { return maximum ? a >= b : a <= b; };
    std::ptrdiff_t next = 0;  // next index to enter the window
    for (std::ptrdiff_t k = 0; k < n; ++k) {
        const std::ptrdiff_t last = std::min(n - 1, k + ahead);
        for (; next <= last; ++next) {
            while (!window.empty() && better(values[static_cast<std::size_t>(next)],
                                             values[static_cast<std::size_t>(window.back())])) {
                window.pop_back();
            }
            window.push_back(next);
        }
        while (window.front() < k - behind) window.pop_front();
        out[static_cast<std::size_t>(k)] = values[static_cast<std::size_t>(window.front())];
    }
    return out;
}

// Where the envelope last rises through `level` between indices lo and hi (inclusive), as a
// fractional index; -1 when it does not.
double RisingCrossing(const std::vector<float>& e, std::ptrdiff_t lo, std::ptrdiff_t hi,
                      float level) {
    lo = std::max<std::ptrdiff_t>(1, lo);
    hi = std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(e.size()) - 1, hi);
    for (std::ptrdiff_t j = hi; j >= lo; --j) {
        const float a = e[static_cast<std::size_t>(j - 1)];
        const float b = e[static_cast<std::size_t>(j)];
        if (a <= level && b > level) return static_cast<double>(j - 1) + (level - a) / (b - a);
    }
    return -1.0;
}

// The first rising crossing between lo and hi, for measuring edges one by one.
double FirstRisingCrossing(const std::vector<float>& e, std::ptrdiff_t lo, std::ptrdiff_t hi,
                           float level) {
    lo = std::max<std::ptrdiff_t>(1, lo);
    hi = std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(e.size()) - 1, hi);
    for (std::ptrdiff_t j = lo; j <= hi; ++j) {
        const float a = e[static_cast<std::size_t>(j - 1)];
        const float b = e[static_cast<std::size_t>(j)];
        if (a <= level && b > level) return static_cast<double>(j - 1) + (level - a) / (b - a);
    }
    return -1.0;
}

struct Decision {
    std::uint8_t value = 0;
    bool believable = false;
    float one = 0;
    float zero = 0;
};

// Decides the bits of one frame from its own levels: the start bit is a one, the stop bit and
// the bit before the start are zeros, and the threshold settles between the means of the two
// groups, so a frame of any loudness on any background is read the same.
Decision DecideFrame(const float (&bits)[kFrameBits], float before) {
    Decision d;
    float threshold = 0.5f * (bits[0] + bits[kFrameBits - 1]);
    float one = bits[0];
    float zero = bits[kFrameBits - 1];
    for (int round = 0; round < 3; ++round) {
        float ones = bits[0];
        float zeros = bits[kFrameBits - 1];
        int oneCount = 1;
        int zeroCount = 1;
        for (int j = 1; j < kFrameBits - 1; ++j) {
            if (bits[j] > threshold) {
                ones += bits[j];
                ++oneCount;
            } else {
                zeros += bits[j];
                ++zeroCount;
            }
        }
        one = ones / static_cast<float>(oneCount);
        zero = zeros / static_cast<float>(zeroCount);
        threshold = 0.5f * (one + zero);
    }
    d.one = one;
    d.zero = zero;
    d.believable = bits[0] > threshold && bits[kFrameBits - 1] < threshold && before < threshold &&
                   one > kMinContrast * zero && one > kSilence;
    if (!d.believable) return d;
    int value = 0;
    for (int j = 1; j <= 8; ++j) {
        if (bits[j] > threshold) value |= 1 << (j - 1);
    }
    d.value = static_cast<std::uint8_t>(value);
    return d;
}

// The frame whose start bit begins at `start`, each bit read at its middle; nothing when it is
// not believable.
std::optional<Frame> FrameAt(const ToneEnvelope& envelope, double start, double bitPeriod) {
    Frame frame;
    frame.start = start;
    for (int j = 0; j < kFrameBits; ++j) frame.bits[j] = envelope.At(start + (j + 0.5) * bitPeriod);
    frame.before = envelope.At(start - 0.5 * bitPeriod);
    const Decision d = DecideFrame(frame.bits, frame.before);
    if (!d.believable) return std::nullopt;
    frame.value = d.value;
    frame.one = d.one;
    frame.zero = d.zero;
    return frame;
}

// Whether bit j of a frame (the start bit 0, the stop bit 9) is a one.
bool IsOne(const Frame& frame, int j) {
    return j == 0 || (j < kFrameBits - 1 && (frame.value >> (j - 1) & 1));
}

}  // namespace

LevelTracks TrackLevels(const ToneEnvelope& envelope, double bitPeriod) {
    const std::ptrdiff_t frame =
        std::max<std::ptrdiff_t>(1, std::lround(kFrameBits * bitPeriod / envelope.Chunk()));
    const std::ptrdiff_t bit = std::max<std::ptrdiff_t>(1, std::lround(bitPeriod / envelope.Chunk()));
    // The peak looks one bit ahead: a start bit reaches its own level within it, so the level
    // of the frames before (loud or quiet, or a click) does not decide where this one starts.
    return {SlidingExtreme(envelope.Values(), frame, frame, false),
            SlidingExtreme(envelope.Values(), 0, bit + 1, true)};
}

FrameRun ReadFrames(const ToneEnvelope& envelope, const LevelTracks& tracks, double bitPeriod,
                    double offset) {
    FrameRun run;
    const std::vector<float>& e = envelope.Values();
    const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(e.size());
    const double p = bitPeriod;
    std::ptrdiff_t k = 1;
    while (k < n) {
        const float floor = tracks.floor[static_cast<std::size_t>(k)];
        const float peak = tracks.peak[static_cast<std::size_t>(k)];
        const float threshold = floor + 0.5f * (peak - floor);
        const float a = e[static_cast<std::size_t>(k - 1)];
        const float b = e[static_cast<std::size_t>(k)];
        if (!(peak > kPresence * floor && peak > kSilence && a <= threshold && b > threshold)) {
            ++k;
            continue;
        }
        // Half way up the edge the window's centre sits on the start of the start bit; the
        // half is taken again between the start bit's own level and the floor.
        double start = envelope.TimeOf(static_cast<double>(k - 1) + (threshold - a) / (b - a));
        const float one = envelope.At(start + 0.5 * p);
        const double refined = RisingCrossing(e, envelope.IndexAt(start - p),
                                              envelope.IndexAt(start + 0.5 * p),
                                              floor + 0.5f * (one - floor));
        if (refined >= 0) start = envelope.TimeOf(refined);
        start += offset;

        const std::optional<Frame> frame = FrameAt(envelope, start, p);
        if (!frame) {
            ++k;
            continue;
        }
        run.frames.push_back(*frame);
        // On from the middle of the stop bit, where the envelope is low again.
        k = std::max(k + 1, envelope.IndexAt(start + (kFrameBits - 0.5) * p) + 1);
    }
    return run;
}

FrameRun HoldToPace(const ToneEnvelope& envelope, const FrameRun& run, double bitPeriod,
                    double framePace) {
    FrameRun out = run;
    const std::size_t n = run.frames.size();
    if (!(framePace > kFrameBits * bitPeriod)) return out;
    const double p = bitPeriod;
    std::vector<double> guesses;
    for (std::size_t i = 0; i < n; ++i) {
        const double own = run.frames[i].start;
        guesses.clear();
        const std::size_t from = i >= kPaceNeighbours ? i - kPaceNeighbours : 0;
        for (std::size_t j = from; j < std::min(n, i + kPaceNeighbours + 1); ++j) {
            if (j == i) continue;
            const double frames = (run.frames[j].start - own) / framePace;
            const double whole = std::round(frames);
            if (whole == 0 || std::fabs(frames - whole) * framePace > kMostPaceShift * p) continue;
            guesses.push_back(run.frames[j].start - whole * framePace);
        }
        if (guesses.size() < kFewestPaceWitnesses) continue;
        const double paced = Median(guesses);
        if (std::fabs(paced - own) < kLeastPaceShift * p) continue;
        const std::optional<Frame> frame = FrameAt(envelope, paced, p);
        if (frame) out.frames[i] = *frame;
    }
    return out;
}

double FramePace(const FrameRun& run, double bitPeriod) {
    std::vector<float> spacings;
    for (std::size_t i = 1; i < run.frames.size(); ++i) {
        const double spacing = run.frames[i].start - run.frames[i - 1].start;
        if (spacing >= kFrameBits * bitPeriod && spacing <= kLongestPace * bitPeriod) {
            spacings.push_back(static_cast<float>(spacing));
        }
    }
    if (spacings.size() < kFewestPaced) return 0;
    return Median(std::move(spacings));
}

float SpreadAboutMedian(std::vector<float> values) {
    const float middle = Median(values);
    for (float& value : values) value = std::fabs(value - middle);
    return 1.4826f * Median(std::move(values));
}

TransferLevels MeasureTransferLevels(const std::vector<Frame>& frames) {
    TransferLevels levels;
    const std::size_t n = frames.size();
    if (n == 0) return levels;
    // Each frame's own mean tone and quiet, then the medians of those around it.
    std::vector<float> ones(n);
    std::vector<float> zeros(n);
    for (std::size_t i = 0; i < n; ++i) {
        float one = 0;
        float zero = frames[i].before;
        int oneCount = 0;
        int zeroCount = 1;
        for (int j = 0; j < kFrameBits; ++j) {
            (IsOne(frames[i], j) ? one : zero) += frames[i].bits[j];
            ++(IsOne(frames[i], j) ? oneCount : zeroCount);
        }
        ones[i] = one / static_cast<float>(oneCount);
        zeros[i] = zero / static_cast<float>(zeroCount);
    }
    levels.one.resize(n);
    levels.zero.resize(n);
    std::vector<float> around;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t from = i >= kLevelNeighbours ? i - kLevelNeighbours : 0;
        const std::size_t to = std::min(n, i + kLevelNeighbours + 1);
        around.assign(ones.begin() + static_cast<std::ptrdiff_t>(from), ones.begin() + static_cast<std::ptrdiff_t>(to));
        levels.one[i] = Median(around);
        around.assign(zeros.begin() + static_cast<std::ptrdiff_t>(from), zeros.begin() + static_cast<std::ptrdiff_t>(to));
        levels.zero[i] = Median(around);
    }
    // Sums per frame, then over the frames around each. Each bit is taken against the tone's
    // level around its frame, so a level that swings (a watch moved about, a compressor) gives
    // the noise as it stands against the tone, not as loud stretches make it.
    std::vector<double> quiet(n + 1);
    std::vector<double> spread(n + 1);
    std::vector<double> quietCount(n + 1);
    std::vector<double> toneCount(n + 1);
    for (std::size_t i = 0; i < n; ++i) {
        const Frame& frame = frames[i];
        const double scale = levels.one[i] > 0 ? 1.0 / levels.one[i] : 0.0;
        double q = static_cast<double>(frame.before) * frame.before * scale * scale;
        double s = 0;
        int zeros = 1;
        int ones = 0;
        for (int j = 0; j < kFrameBits; ++j) {
            const double b = frame.bits[j] * scale;
            if (IsOne(frame, j)) {
                s += (b - 1.0) * (b - 1.0);
                ++ones;
            } else {
                q += b * b;
                ++zeros;
            }
        }
        quiet[i + 1] = quiet[i] + q;
        spread[i + 1] = spread[i] + s;
        quietCount[i + 1] = quietCount[i] + zeros;
        toneCount[i + 1] = toneCount[i] + ones;
    }
    levels.quietPower.resize(n);
    levels.toneSpread.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t from = i >= kNoiseNeighbours ? i - kNoiseNeighbours : 0;
        const std::size_t to = std::min(n, i + kNoiseNeighbours + 1);
        const double one = levels.one[i];
        levels.quietPower[i] =
            static_cast<float>(one * one * (quiet[to] - quiet[from]) / (quietCount[to] - quietCount[from]));
        levels.toneSpread[i] =
            static_cast<float>(one * std::sqrt((spread[to] - spread[from]) / (toneCount[to] - toneCount[from])));
    }
    return levels;
}

bool BitsStandClear(const std::vector<Frame>& frames, const TransferLevels& levels, std::size_t i) {
    if (i >= frames.size() || i >= levels.one.size()) return false;
    const Frame& frame = frames[i];
    const float threshold = levels.Threshold(i);
    // The tone's spread, or the noise on the tone if more (half the quiet's power falls in each
    // of its phases).
    const double spread = std::max<double>(levels.toneSpread[i], std::sqrt(0.5 * levels.quietPower[i]));
    // A bit between the two is neither clearly a one nor clearly a zero: one at half the
    // tone's strength, say, which no quiet reaches and no tone sinks to.
    const double toneLow = levels.one[i] - kToneSpreads * spread;
    const double quietHigh = std::sqrt(kQuietOdds * levels.quietPower[i]);
    const double band = levels.MiddleBand(i);
    const double loudEnough = std::max({threshold + band, toneLow, quietHigh});
    const double quietEnough = std::min({threshold - band, toneLow, quietHigh});
    if (!(frame.before < quietEnough)) return false;
    for (int j = 0; j < kFrameBits; ++j) {
        const double b = frame.bits[j];
        if (IsOne(frame, j) ? !(b >= loudEnough) : !(b < quietEnough)) return false;
    }
    return true;
}

BitMiddles ReadMiddles(const ToneEnvelope& halfBits, const Frame& frame, double bitPeriod) {
    BitMiddles middles{};
    for (int j = -1; j < kFrameBits; ++j) {
        middles[static_cast<std::size_t>(j + 1)] = halfBits.At(frame.start + (j + 0.5) * bitPeriod);
    }
    return middles;
}

namespace {

// Where a level lies between the levels around frame i: 0 at its quiet, 1 at its tone.
float Between(const TransferLevels& levels, std::size_t i, float level) {
    const float span = levels.one[i] - levels.zero[i];
    return span > 0 ? (level - levels.zero[i]) / span : 0.0f;
}

// Bit j of a frame, the quiet bit before it at -1.
bool ValueOf(const Frame& frame, int j) {
    return j >= 0 && IsOne(frame, j);
}

// Calls `f(j, stray)` for each bit j (0 to 8) of frame i between two bits of its value, with
// how far its middle lies above (a zero) or below (a one) the nearer of theirs.
template <class F>
void ForEachStray(const Frame& frame, const BitMiddles& middles, const TransferLevels& levels,
                  std::size_t i, F f) {
    for (int j = 0; j + 1 < kFrameBits; ++j) {
        const bool one = ValueOf(frame, j);
        if (ValueOf(frame, j - 1) != one || ValueOf(frame, j + 1) != one) continue;
        const float before = Between(levels, i, middles[static_cast<std::size_t>(j)]);
        const float here = Between(levels, i, middles[static_cast<std::size_t>(j + 1)]);
        const float after = Between(levels, i, middles[static_cast<std::size_t>(j + 2)]);
        f(j, one ? std::min(before, after) - here : here - std::max(before, after));
    }
}

}  // namespace

float MeasureDip(const std::vector<Frame>& frames, const std::vector<BitMiddles>& middles,
                 const TransferLevels& levels) {
    std::vector<float> strays;
    const std::size_t n = std::min({frames.size(), middles.size(), levels.one.size()});
    for (std::size_t i = 0; i < n; ++i) {
        ForEachStray(frames[i], middles[i], levels, i,
                     [&](int, float stray) { strays.push_back(stray); });
    }
    if (strays.empty()) return kLeastDip;
    return std::max(kLeastDip, kDipSpreads * SpreadAboutMedian(std::move(strays)));
}

bool KeepsToItsRuns(const Frame& frame, const BitMiddles& middles, const TransferLevels& levels,
                    std::size_t i, float dip) {
    if (i >= levels.one.size()) return false;
    bool keeps = true;
    ForEachStray(frame, middles, levels, i,
                 [&](int, float stray) { keeps = keeps && stray <= dip; });
    return keeps;
}

double MeasureBitPeriod(const ToneEnvelope& envelope, const std::vector<Frame>& preamble,
                        double nominal) {
    const std::vector<float>& e = envelope.Values();
    double sxy = 0;
    double sxx = 0;
    for (const Frame& frame : preamble) {
        const float half = 0.5f * (frame.one + frame.zero);
        double js[5];
        double ts[5];
        int found = 0;
        for (int j = 0; j <= 8; j += 2) {
            const double expected = frame.start + j * nominal;
            const double k = FirstRisingCrossing(e, envelope.IndexAt(expected - 0.5 * nominal),
                                                 envelope.IndexAt(expected + 0.5 * nominal), half);
            if (k < 0) continue;
            js[found] = j;
            ts[found] = envelope.TimeOf(k);
            ++found;
        }
        if (found < 3) continue;
        double jm = 0;
        double tm = 0;
        for (int i = 0; i < found; ++i) {
            jm += js[i];
            tm += ts[i];
        }
        jm /= found;
        tm /= found;
        for (int i = 0; i < found; ++i) {
            sxy += (js[i] - jm) * (ts[i] - tm);
            sxx += (js[i] - jm) * (js[i] - jm);
        }
    }
    if (sxx <= 0) return nominal;
    const double measured = sxy / sxx;
    if (!(std::fabs(measured / nominal - 1.0) <= kMostClockError)) return nominal;
    return measured;
}

}  // namespace zendrik
