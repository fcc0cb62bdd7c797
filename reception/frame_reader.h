// Reads byte frames (start bit, eight data bits LSB first, stop bit) from the tone's envelope:
// a threshold that follows the local signal and noise level finds each start bit, the frame's
// timing is anchored anew at every start bit, and each bit is decided against the levels of
// its own frame.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "reception/tone_energy.h"

namespace zendrik {

inline constexpr int kFrameBits = 10;

struct Frame {
    double start = 0;   // sample time where the start bit begins
    std::uint8_t value = 0;
    float one = 0;       // the frame's tone level and its quiet level
    float zero = 0;
    float bits[kFrameBits] = {};  // the level read in each bit, the start bit first
    float before = 0;             // and in the bit before the start bit, which is quiet
};

struct FrameRun {
    std::vector<Frame> frames;
};

// The local floor (lowest within about a frame either side) and peak (highest within the next
// bit) of the envelope at each value.
struct LevelTracks {
    std::vector<float> floor;
    std::vector<float> peak;
};
LevelTracks TrackLevels(const ToneEnvelope& envelope, double bitPeriod);

// All frames in the envelope, bits `bitPeriod` samples long; `offset` (samples) shifts where
// the bits are sampled after each start bit, for retries.
FrameRun ReadFrames(const ToneEnvelope& envelope, const LevelTracks& tracks, double bitPeriod,
                    double offset);

// The frames of `run` read again where their neighbours' steady pace (`framePace` samples from
// one start to the next) puts them, where that differs from their own start: a codec spreads a
// burst's sound a little before and after it, and a frame anchored on a moved edge reads every
// bit early or late. A frame not believable at the new place keeps its first reading.
FrameRun HoldToPace(const ToneEnvelope& envelope, const FrameRun& run, double bitPeriod,
                    double framePace);

// The pace of a reading's frames (samples from one start to the next): the median of the
// spacings a frame and a short gap could have; 0 when too few frames follow one another.
double FramePace(const FrameRun& run, double bitPeriod);

// The middle one of `values` (of an even count the upper middle one); 0 for none.
template <class T>
T Median(std::vector<T> values) {
    if (values.empty()) return T{};
    auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// How far `values` stray from their median: the median distance from it, scaled to a normal
// deviation's, so one stray value does not widen it; 0 for none.
float SpreadAboutMedian(std::vector<float> values);

// The levels a transfer's bits are judged against, measured in the transfer itself, around each
// frame: the tone's level and the quiet's (the medians of its neighbours' ones and zeros, so no
// frame's own content sets them), and over a few dozen frames how far bits stray from them.
struct TransferLevels {
    std::vector<float> one;   // per frame
    std::vector<float> zero;
    std::vector<float> quietPower;  // mean square of the quiet bits (noise, hum, echoes' tails)
    std::vector<float> toneSpread;  // root mean square of the tone bits' distance from its level
    // Middle between the two levels at frame i: a bit is a one above it.
    float Threshold(std::size_t i) const { return 0.5f * (one[i] + zero[i]); }
    // How far either side of the middle a bit is neither value, whatever the noise: at half the
    // tone's strength, say, it is no more a one than a zero.
    float MiddleBand(std::size_t i) const { return kMiddleBand * (one[i] - zero[i]); }
    static constexpr float kMiddleBand = 0.15f;
};
TransferLevels MeasureTransferLevels(const std::vector<Frame>& frames);

// Whether every bit of frame i (and the quiet bit before it) stands clear of the other value:
// a one louder than the transfer's quiet reaches but once in about 10^9 bits, a zero further
// below the tone's level than five times the tone's spread (or the noise on it, if more), and
// neither within the middle band.
bool BitsStandClear(const std::vector<Frame>& frames, const TransferLevels& levels, std::size_t i);

// A frame's bits read again at their middles through windows half a bit long (an envelope made
// for half a bit), the quiet bit before the start bit first: sound of the bits either side, which
// a reading shifted by a retry or a codec's smear brings into a whole bit's window, stays out.
using BitMiddles = std::array<float, kFrameBits + 1>;
BitMiddles ReadMiddles(const ToneEnvelope& halfBits, const Frame& frame, double bitPeriod);

// How far (a share of the tone-to-quiet distance) a one between two ones may sink below both at
// its middle, and a zero between two zeros rise above both, in a transfer: a quarter, or five of
// the spreads such bits show in it (the median distance of their strays from the median stray,
// scaled to a normal deviation's), whichever is more. A lossy codec fills a one-bit gap between
// two bursts with some of their tone, and weakens a lone burst or drops it: such a bit reads as a
// dip in a run of tone or a bump in a run of quiet, however near the other value's level it
// comes. A steady tone or quiet does not dip or rise for one bit alone; echoes and a compressor
// change the level of a run smoothly.
float MeasureDip(const std::vector<Frame>& frames, const std::vector<BitMiddles>& middles,
                 const TransferLevels& levels);

// Whether every bit of frame i between two bits of its value keeps to their level at its middle,
// within `dip`.
bool KeepsToItsRuns(const Frame& frame, const BitMiddles& middles, const TransferLevels& levels,
                    std::size_t i, float dip);

// The bit period measured from preamble frames (0xAA: ones at bits 0, 2, 4, 6 and 8), or
// `nominal` when they do not give a believable figure.
double MeasureBitPeriod(const ToneEnvelope& envelope, const std::vector<Frame>& preamble,
                        double nominal);

}  // namespace zendrik
