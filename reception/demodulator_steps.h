// The steps of demodulation, shared by the one-shot run and the live demodulator that carries
// its work over from pass to pass.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "reception/stream_format.h"

namespace zendrik {

namespace demod {

inline constexpr int kFrameBits = 10;

// Live rectifier: |s|, with |-32768| kept at 32767 so it never turns negative.
inline std::int16_t LiveLevel(std::int16_t s) {
    return s == -32768 ? std::int16_t{32767} : static_cast<std::int16_t>(s < 0 ? -s : s);
}

// Back-fill steps first..last-1 (a step i looks at e[i-1], e[i], e[i+1]): each strict local
// maximum is copied back over the stretch since the last falling step, `anchor` (0 = none).
// Returns the lowest index written, or `last` when nothing was.
std::ptrdiff_t BackFillPeaks(std::int16_t* e, std::ptrdiff_t first, std::ptrdiff_t last,
                             std::ptrdiff_t& anchor);

// The start threshold for an envelope spanning lo..hi.
std::int32_t StartThreshold(std::int16_t lo, std::int16_t hi, int percent);

inline constexpr std::ptrdiff_t kQuietBlock = 64;
// The longest start window a quiet block is tested with; every timing's window is shorter.
inline constexpr std::ptrdiff_t kQuietTail = 16;

// Whether every level of e[0 .. kQuietBlock + kQuietTail) is at most `threshold`, and so the mean
// of every start window beginning in the first kQuietBlock of them. A fixed count without an
// early exit lets the compiler take the maximum a vector at a time.
inline bool LevelsAtMost(const std::int16_t* e, std::int32_t threshold) {
    std::int16_t highest = 0;
    for (std::ptrdiff_t k = 0; k < kQuietBlock + kQuietTail; ++k) highest = std::max(highest, e[k]);
    return highest <= threshold;
}

// Scans e[0..count) for frames from position `from` and calls found(start, byte) for each.
// Returns where the scan stopped: a scan of more levels than `count` carries on from there.
template <typename Found>
std::ptrdiff_t ScanFrames(const std::int16_t* e, std::ptrdiff_t count, std::ptrdiff_t from, BitTiming timing,
                std::int32_t threshold, Found found);

// The byte of the frame starting at e[0].
std::uint8_t ReadFrame(const std::int16_t* e, int period);

template <typename Found>
std::ptrdiff_t ScanFrames(const std::int16_t* e, std::ptrdiff_t count, std::ptrdiff_t from,
                          BitTiming timing, std::int32_t threshold, Found found) {
    // The timing comes from the family table; one without a period or window reads nothing
    // rather than a frame at every sample.
    if (timing.period <= 0 || timing.window <= 0) return count;
    const std::ptrdiff_t frame = static_cast<std::ptrdiff_t>(kFrameBits) * timing.period;
    const std::ptrdiff_t end = count - frame - timing.window;
    const int window = timing.window;
    // The start window slides one sample at a time through the quiet between frames, so its
    // sum is kept running; the mean is the same truncated quotient as adding it up anew.
    std::ptrdiff_t i = from;
    std::int32_t sum = 0;
    bool sumValid = false;
    // The envelope is never negative, so the window's sum is not either, and its truncated mean
    // is at most the threshold exactly when the sum is below (threshold + 1) * window: a compare
    // instead of a division for every sample of the quiet, which is most of a recording.
    const std::int64_t quietBelow =
        threshold < 0 ? 0 : (std::int64_t{threshold} + 1) * std::max(window, 1);
    // Where no level of a block and the window after it is above the threshold, no window
    // starting in the block can be: the block is passed over at once. After a block that fails
    // this test, a block's worth of single steps follows before the next try, so a noisy stretch
    // costs no more than a block test per block.
    std::ptrdiff_t singleStepsUntil = i;
    while (i < end) {
        if (i >= singleStepsUntil) {
            if (window <= kQuietTail && i + kQuietBlock + kQuietTail <= end &&
                LevelsAtMost(e + i, threshold)) {
                i += kQuietBlock;
                sumValid = false;
                continue;
            }
            singleStepsUntil = i + kQuietBlock;
        }
        if (!sumValid) {
            sum = 0;
            for (int j = 0; j < window; ++j) sum += e[i + j];
            sumValid = true;
        }
        if (sum < quietBelow) {
            sum += e[i + window] - e[i];
            ++i;
            continue;
        }
        found(i, ReadFrame(e + i, timing.period));
        i += frame + 1;
        sumValid = false;
    }
    return i;
}

}  // namespace demod

}  // namespace zendrik
