#include "reception/demodulator.h"

#include <cstdlib>
#include <memory>

namespace {

constexpr int kFrameBits = 10;
constexpr int kBitReferencePercent = 67;

int StartThresholdPercent(DemodVariant variant) { return variant == DemodVariant::File ? 33 : 25; }

// Mean of k envelope values, truncated, as a 16-bit level.
inline std::int16_t MeanLevel(const std::int16_t* e, int k) {
    std::int32_t sum = 0;
    for (int j = 0; j < k; ++j) sum += e[j];
    return static_cast<std::int16_t>(sum / k);
}

void Rectify(const std::int16_t* s, std::ptrdiff_t n, DemodVariant variant, std::int16_t* e) {
    if (variant == DemodVariant::File) {
        for (std::ptrdiff_t i = 0; i + 1 < n; ++i) {
            const std::int32_t d = std::int32_t{s[i]} - std::int32_t{s[i + 1]};
            e[i] = static_cast<std::int16_t>((d < 0 ? -d : d) / 2);
        }
        e[n - 1] = 0;
    } else {
        for (std::ptrdiff_t i = 0; i < n; ++i) {
            const std::int32_t v = std::abs(std::int32_t{s[i]});
            e[i] = static_cast<std::int16_t>(v > 32767 ? 32767 : v);  // |-32768| stays positive
        }
    }
}

// Copies each strict local maximum back over the stretch since the last falling step, so the
// rectified wave becomes steps at the heights of its peaks.
void BackFillPeaks(std::int16_t* e, std::ptrdiff_t n) {
    std::ptrdiff_t anchor = 0;  // 0 doubles as "no anchor yet"
    for (std::ptrdiff_t i = 0; i + 1 < n; ++i) {
        if (e[i] <= e[i + 1]) continue;
        if (anchor == 0) anchor = i;
        if (i > 0 && e[i] > e[i - 1] && anchor < i) {
            const std::int16_t peak = e[i];
            for (std::ptrdiff_t j = anchor; j < i; ++j) e[j] = peak;
        }
        anchor = i;
    }
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

}  // namespace

void DemodulateSamples(const std::int16_t* samples, std::ptrdiff_t count, DemodVariant variant,
                       BitTiming timing, CReceivedBytes& out) {
    out.SetSize(0);
    if (count <= 0) return;
    std::unique_ptr<std::int16_t[]> envelope(new std::int16_t[static_cast<std::size_t>(count)]);
    std::int16_t* e = envelope.get();
    Rectify(samples, count, variant, e);
    BackFillPeaks(e, count);
    e[count - 1] = 0;

    std::int16_t lo = 32767;
    std::int16_t hi = -32768;
    for (std::ptrdiff_t i = 0; i < count; ++i) {
        if (e[i] < lo) lo = e[i];
        if (e[i] > hi) hi = e[i];
    }
    const std::int32_t threshold =
        ((std::int32_t{hi} - std::int32_t{lo}) / 100) * StartThresholdPercent(variant);

    const std::ptrdiff_t frame = static_cast<std::ptrdiff_t>(kFrameBits) * timing.period;
    const std::ptrdiff_t end = count - frame - timing.window;
    const int window = timing.window;
    // The start window slides one sample at a time through the silence between frames, so keep
    // its sum running instead of adding it up anew; the mean is the same truncated quotient.
    std::ptrdiff_t i = 1;
    std::int32_t sum = 0;
    bool sumValid = false;
    while (i < end) {
        if (!sumValid) {
            sum = 0;
            for (int j = 0; j < window; ++j) sum += e[i + j];
            sumValid = true;
        }
        if (static_cast<std::int16_t>(sum / window) <= threshold) {
            sum += e[i + window] - e[i];
            ++i;
            continue;
        }
        out.Add(ReadFrame(e + i, timing.period));
        i += frame + 1;
        sumValid = false;
    }
}
