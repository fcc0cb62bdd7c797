#include "reception/demodulator.h"

#include <algorithm>
#include <memory>

#include "reception/demodulator_steps.h"

namespace zendrik {

namespace demod {

namespace {

constexpr int kBitReferencePercent = 67;

// File rectifier: half the difference of neighbouring samples, truncated.
inline std::int16_t FileLevel(std::int16_t a, std::int16_t b) {
    // The distance of two 16-bit values fits 16 unsigned bits, so it is taken in them (wrapping
    // back into range), which lets a vector hold eight of them.
    const auto d = static_cast<std::uint16_t>(static_cast<std::uint16_t>(std::max(a, b)) -
                                              static_cast<std::uint16_t>(std::min(a, b)));
    return static_cast<std::int16_t>(d >> 1);
}

// Mean of k envelope values, truncated, as a 16-bit level.
inline std::int16_t MeanLevel(const std::int16_t* e, int k) {
    std::int32_t sum = 0;
    for (int j = 0; j < k; ++j) sum += e[j];
    return static_cast<std::int16_t>(sum / k);
}

constexpr std::ptrdiff_t kRiseBlock = 64;

// Whether e[0..kRiseBlock] all hold one level, so no step among them falls. Silence is such a
// stretch. A fixed count without an early exit lets the compiler take it a vector at a time.
inline bool LevelStaysFlat(const std::int16_t* e) {
    std::int16_t lowest = e[0];
    std::int16_t highest = e[0];
    for (std::ptrdiff_t k = 1; k <= kRiseBlock; ++k) {
        lowest = std::min(lowest, e[k]);
        highest = std::max(highest, e[k]);
    }
    return lowest == highest;
}

}  // namespace

std::ptrdiff_t BackFillPeaks(std::int16_t* e, std::ptrdiff_t first, std::ptrdiff_t last,
                             std::ptrdiff_t& anchor) {
    std::ptrdiff_t lowestWritten = last;
    // A flat stretch has no falling step, so nothing changes there: silence is passed over a
    // block at a time. After a block that fails the test, a block's worth of single steps
    // follows before the next try, so a busy stretch costs no more than a test per block.
    std::ptrdiff_t singleStepsUntil = first;
    for (std::ptrdiff_t i = first; i < last; ++i) {
        if (i >= singleStepsUntil) {
            if (i + kRiseBlock <= last && LevelStaysFlat(e + i)) {
                i += kRiseBlock - 1;
                continue;
            }
            singleStepsUntil = i + kRiseBlock;
        }
        if (e[i] <= e[i + 1]) continue;
        if (anchor == 0) anchor = i;
        if (i > 0 && e[i] > e[i - 1] && anchor < i) {
            const std::int16_t peak = e[i];
            for (std::ptrdiff_t j = anchor; j < i; ++j) e[j] = peak;
            if (anchor < lowestWritten) lowestWritten = anchor;
        }
        anchor = i;
    }
    return lowestWritten;
}

std::int32_t StartThreshold(std::int16_t lo, std::int16_t hi, int percent) {
    return ((std::int32_t{hi} - std::int32_t{lo}) / 100) * percent;
}

std::uint8_t ReadFrame(const std::int16_t* e, int period) {
    int value = 0;
    int weight = 1;
    std::int16_t reference = 0;
    for (int k = 0; k < kFrameBits; ++k) {
        const std::int16_t level = MeanLevel(e + static_cast<std::ptrdiff_t>(k) * period, period);
        if (k == 0) {
            reference = static_cast<std::int16_t>((level / 100) * kBitReferencePercent);
        } else if (k <= 8) {
            // The reference follows the tone: renewed by every 1 bit, never by a 0 bit.
            if (level >= reference) {
                value |= weight;
                reference = static_cast<std::int16_t>((level / 100) * kBitReferencePercent);
            }
            weight *= 2;
        }
    }
    return static_cast<std::uint8_t>(value);
}

}  // namespace demod

void DemodulateSamples(const std::int16_t* samples, std::ptrdiff_t count, DemodVariant variant,
                       BitTiming timing, ReceivedBytes& out, std::int16_t* work,
                       std::vector<std::ptrdiff_t>* frameStarts) {
    if (count <= 0) return;  // nothing to work on: the bytes stay as they were
    out.SetSize(0);
    if (frameStarts) frameStarts->clear();
    std::unique_ptr<std::int16_t[]> envelope(work ? nullptr
                                                  : new std::int16_t[static_cast<std::size_t>(count)]);
    // Level i is made from samples i and i+1 before level i is written, so the envelope can take
    // the samples' own place.
    std::int16_t* e = work ? work : envelope.get();
    if (variant == DemodVariant::File) {
        // Half the difference of neighbouring samples. The levels of a chunk are made in a
        // buffer of their own and then copied: when the envelope takes the samples' place, a
        // chunk's samples are all read before any of its levels is written, and the loop over
        // the buffer can be vectorised.
        constexpr std::ptrdiff_t kChunk = 256;
        std::int16_t levels[kChunk];
        std::ptrdiff_t i = 0;
        for (; i + kChunk < count; i += kChunk) {
            for (std::ptrdiff_t k = 0; k < kChunk; ++k) {
                levels[k] = demod::FileLevel(samples[i + k], samples[i + k + 1]);
            }
            std::copy(levels, levels + kChunk, e + i);
        }
        for (; i + 1 < count; ++i) e[i] = demod::FileLevel(samples[i], samples[i + 1]);
        e[count - 1] = 0;
    } else {
        for (std::ptrdiff_t i = 0; i < count; ++i) e[i] = demod::LiveLevel(samples[i]);
    }
    std::ptrdiff_t anchor = 0;
    demod::BackFillPeaks(e, 0, count - 1, anchor);
    e[count - 1] = 0;
    // The range is that of the stepped envelope. No level is below 0 and the last one is 0, so
    // the lowest is 0; the highest has to be looked for, as a fill can lower the top of a falling
    // step to the later, smaller peak it copies back.
    const std::int16_t lo = 0;
    const std::int16_t hi = *std::max_element(e, e + count);

    const int percent = variant == DemodVariant::File ? 33 : 25;
    demod::ScanFrames(e, count, 1, timing, demod::StartThreshold(lo, hi, percent),
                      [&](std::ptrdiff_t at, std::uint8_t value) {
                          out.Add(value);
                          if (frameStarts) frameStarts->push_back(at);
                      });
}

}  // namespace zendrik
