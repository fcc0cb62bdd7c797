#include "reception/carrier_search.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace zendrik {

namespace {

// Lowest tone looked for: below it sit mains hum and its first harmonics.
constexpr double kLowestToneHz = 800.0;
constexpr int kMostSpectra = 96;
// A band must stand this far above the median of its neighbours to count as a tone.
constexpr double kMinProminenceDb = 8.0;
// Or in a few spectra by this much (noise bins rarely pass 10 dB above their median), counted
// up to the cap per spectrum, adding up to the least total that counts.
constexpr double kEventDb = 10.0;
constexpr double kEventCapDb = 20.0;
constexpr double kMinEvents = 50.0;
constexpr double kWeakerShare = 0.25;
constexpr double kSpreadHz = 700.0;
constexpr double kNeighbourhoodHz = 2500.0;
// Candidates lie at least this far apart: a loud beep next to the tone must not hide it.
constexpr double kCandidateSpacingHz = 400.0;

// In-place radix-2 FFT. A few hundred short transforms per recording do not justify a library.
void Fft(std::vector<std::complex<float>>& a) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2.0 * std::numbers::pi / static_cast<double>(len);
        const std::complex<float> step(static_cast<float>(std::cos(angle)),
                                       static_cast<float>(std::sin(angle)));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<float> w(1.0f, 0.0f);
            for (std::size_t k = 0; k < len / 2; ++k) {
                const std::complex<float> u = a[i + k];
                const std::complex<float> v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

}  // namespace

std::vector<CarrierCandidate> FindCarriers(const float* samples, std::ptrdiff_t count,
                                           int sampleRate, int most) {
    std::vector<CarrierCandidate> found;
    if (!samples || count <= 0 || sampleRate <= 0 || most <= 0) return found;
    // Bins of about 20 Hz or finer: narrow enough to tell the tone from broadband sound.
    std::size_t n = 256;
    while (static_cast<double>(n) < sampleRate / 20.0) n <<= 1;
    if (static_cast<std::ptrdiff_t>(n) > count) return found;

    std::vector<float> window(n);
    for (std::size_t i = 0; i < n; ++i) {
        window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / n));
    }
    // The log of each bin's power is averaged over the spectra, so a loud beep or click in a
    // few of them weighs little against a tone that runs through the whole transfer; each
    // spectrum is kept too, for a short transfer in a long recording.
    const std::size_t bins = n / 2;
    std::vector<double> logPower(bins, 0.0);
    std::vector<float> each;
    std::vector<std::complex<float>> buffer(n);
    const std::ptrdiff_t spectra =
        std::min<std::ptrdiff_t>(kMostSpectra, count / static_cast<std::ptrdiff_t>(n));
    const double hop = spectra > 1 ? static_cast<double>(count - static_cast<std::ptrdiff_t>(n)) /
                                         static_cast<double>(spectra - 1)
                                   : 0.0;
    each.reserve(static_cast<std::size_t>(spectra) * bins);
    for (std::ptrdiff_t s = 0; s < spectra; ++s) {
        const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(hop * static_cast<double>(s));
        for (std::size_t i = 0; i < n; ++i) {
            const float x = samples[at + static_cast<std::ptrdiff_t>(i)];
            buffer[i] = std::isfinite(x) ? x * window[i] : 0.0f;
        }
        Fft(buffer);
        // Bins far below the spectrum's total hold only rounding noise; a floor 90 dB down
        // keeps their random ups and downs from passing for a tone.
        double total = 0;
        for (std::size_t k = 0; k < bins; ++k) total += std::norm(buffer[k]);
        const double floor = total * 1e-9 + 1e-24;
        for (std::size_t k = 0; k < bins; ++k) {
            const double db = 10.0 * std::log10(std::norm(buffer[k]) + floor);
            logPower[k] += db;
            each.push_back(static_cast<float>(db));
        }
    }
    for (double& p : logPower) p /= static_cast<double>(spectra);

    const double binHz = static_cast<double>(sampleRate) / static_cast<double>(n);
    // Keyed on and off at up to 490 bits per second the tone spreads over several hundred hertz
    // either side; it is measured against a neighbourhood beyond that spread, whose median
    // follows the slope of pink noise and the like.
    const std::size_t gap = static_cast<std::size_t>(kSpreadHz / binHz) + 1;
    const std::size_t reach = static_cast<std::size_t>(kNeighbourhoodHz / binHz) + 1;
    const std::size_t first = std::max<std::size_t>(2, static_cast<std::size_t>(kLowestToneHz / binHz));
    const std::size_t last = bins - 2;
    if (first >= last) return found;
    // The baseline changes slowly with frequency: computed on every few bins, held between. It
    // is the higher of the medians below and above the tone, so the slope of pink noise or hum
    // on one side does not make a band stand out.
    const std::size_t stride = std::max<std::size_t>(1, gap / 8);
    const std::size_t minSide = std::max<std::size_t>(4, gap / 4);
    std::vector<double> baseline(bins, 0.0);
    std::vector<double> side;
    auto sideMedian = [&](std::size_t lo, std::size_t hi, double& median) {
        side.assign(logPower.begin() + static_cast<std::ptrdiff_t>(lo),
                    logPower.begin() + static_cast<std::ptrdiff_t>(hi));
        if (side.size() < minSide) return false;
        auto middle = side.begin() + static_cast<std::ptrdiff_t>(side.size() / 2);
        std::nth_element(side.begin(), middle, side.end());
        median = *middle;
        return true;
    };
    for (std::size_t k = first; k < last; k += stride) {
        double below = 0;
        double above = 0;
        const bool hasBelow = k > gap && sideMedian(k > reach ? k - reach : 1, k - gap, below);
        const bool hasAbove = k + gap < bins && sideMedian(k + gap, std::min(bins, k + reach), above);
        double median = logPower[k];
        if (hasBelow && hasAbove) median = std::max(below, above);
        else if (hasBelow) median = below;
        else if (hasAbove) median = above;
        for (std::size_t j = k; j < std::min(last, k + stride); ++j) baseline[j] = median;
    }
    std::vector<double> prominence(bins, 0.0);
    for (std::size_t k = first; k < last; ++k) prominence[k] = logPower[k] - baseline[k];

    // A transfer of a few seconds in a long recording is in few spectra and barely moves the
    // average: each spectrum, levelled by its own median, is measured against the same
    // baseline, and every spectrum in which a band stands out counts for it (up to a cap, so
    // one loud beep counts like any other spectrum).
    auto medianOf = [&](const double* begin, const double* end) {
        std::vector<double> values(begin, end);
        auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
        std::nth_element(values.begin(), middle, values.end());
        return *middle;
    };
    const double averageMedian = medianOf(logPower.data() + first, logPower.data() + last);
    std::vector<double> events(bins, 0.0);
    std::vector<double> row(bins);
    for (std::ptrdiff_t s = 0; s < spectra; ++s) {
        const float* spectrum = each.data() + static_cast<std::size_t>(s) * bins;
        std::copy(spectrum, spectrum + bins, row.begin());
        const double level = medianOf(row.data() + first, row.data() + last) - averageMedian;
        for (std::size_t k = first; k < last; ++k) {
            const double above = row[k] - level - baseline[k] - kEventDb;
            events[k] += std::clamp(above, 0.0, kEventCapDb);
        }
    }
    std::vector<double> score(bins, 0.0);
    for (std::size_t k = first; k < last; ++k) {
        const bool stands = prominence[k] >= kMinProminenceDb || events[k] >= kMinEvents;
        score[k] = stands ? events[k] + prominence[k] : 0.0;
    }
    double firstScore = 0;
    for (int pick = 0; pick < most; ++pick) {
        std::size_t best = 0;
        for (std::size_t k = first; k < last; ++k) {
            if (score[k] > score[best]) best = k;
        }
        // A band far weaker than the first is not worth a pass over the whole recording.
        if (best == 0 || score[best] <= 0.0 || (!found.empty() && score[best] < kWeakerShare * firstScore)) break;
        if (found.empty()) firstScore = score[best];
        // The peak of the Hann-windowed tone is close to a parabola in the log domain.
        const double a = logPower[best - 1];
        const double b = logPower[best];
        const double c = logPower[best + 1];
        const double denominator = a - 2.0 * b + c;
        double offset = denominator < 0 ? 0.5 * (a - c) / denominator : 0.0;
        offset = std::clamp(offset, -0.5, 0.5);
        found.push_back({(static_cast<double>(best) + offset) * binHz, prominence[best]});
        // The next candidate lies clear of this one and of its sidebands.
        const std::size_t clear = static_cast<std::size_t>(kCandidateSpacingHz / binHz) + 1;
        const std::size_t lo = best > clear ? best - clear : 0;
        for (std::size_t j = lo; j <= std::min(bins - 1, best + clear); ++j) {
            score[j] = 0.0;
        }
    }
    return found;
}

}  // namespace zendrik
