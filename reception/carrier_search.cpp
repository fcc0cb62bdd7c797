#include "reception/carrier_search.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <memory>
#include <numbers>

namespace zendrik {

namespace {

// Lowest tone looked for: below it sit mains hum and its first harmonics.
constexpr double kLowestToneHz = 800.0;
// Spectra in one stretch, each about a twentieth of a second long: a stretch of a few seconds
// holds enough of them to tell a tone from hiss, and a short transfer fills much of one.
constexpr std::ptrdiff_t kStretchSpectra = 96;
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
// How far (Hz) a stretch's band may lie from a candidate and still be its tone there: the
// watch's clock drifts a little, and the peak moves by a bin or so from stretch to stretch.
constexpr double kSameToneHz = 40.0;
// Stretches added either side of those where a tone stands out: its first and last frames may
// fall where too little of it sounds to stand out.
constexpr std::ptrdiff_t kMarginStretches = 1;

// The power spectrum of real, windowed frames of n samples (n a power of two), through a complex
// transform of half the size. Its tables are made once for all the frames of a recording; real
// and imaginary parts are kept apart and each stage's twiddles in a row of their own, so the
// butterflies run over plain arrays.
class PowerSpectrum {
public:
    explicit PowerSpectrum(std::size_t n)
        : m_half(n / 2), m_window(n), m_re(n / 2), m_im(n / 2), m_reversed(n / 2) {
        for (std::size_t i = 0; i < n; ++i) {
            m_window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / n));
        }
        for (std::size_t i = 1, j = 0; i < m_half; ++i) {
            std::size_t bit = m_half >> 1;
            for (; j & bit; bit >>= 1) j ^= bit;
            j ^= bit;
            m_reversed[i] = j;
        }
        // Stage by stage (butterflies len = 2, 4, ..., n / 2 apart), the len / 2 twiddles of each.
        for (std::size_t len = 2; len <= m_half; len <<= 1) {
            for (std::size_t k = 0; k < len / 2; ++k) {
                const double angle = -2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(len);
                m_stageCos.push_back(static_cast<float>(std::cos(angle)));
                m_stageSin.push_back(static_cast<float>(std::sin(angle)));
            }
        }
        for (std::size_t k = 0; k < m_half; ++k) {
            const double angle = -2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(n);
            m_cos.push_back(static_cast<float>(std::cos(angle)));
            m_sin.push_back(static_cast<float>(std::sin(angle)));
        }
    }

    // power[k] for the bins k < n / 2 of samples x[0..n).
    void Of(const float* x, float* power) {
        float* re = m_re.data();
        float* im = m_im.data();
        for (std::size_t m = 0; m < m_half; ++m) {
            const float even = x[2 * m];
            const float odd = x[2 * m + 1];
            re[m_reversed[m]] = std::isfinite(even) ? even * m_window[2 * m] : 0.0f;
            im[m_reversed[m]] = std::isfinite(odd) ? odd * m_window[2 * m + 1] : 0.0f;
        }
        std::size_t twiddles = 0;
        for (std::size_t len = 2; len <= m_half; len <<= 1) {
            const std::size_t h = len / 2;
            const float* wc = m_stageCos.data() + twiddles;
            const float* ws = m_stageSin.data() + twiddles;
            for (std::size_t i = 0; i < m_half; i += len) {
                float* ar = re + i;
                float* ai = im + i;
                float* br = re + i + h;
                float* bi = im + i + h;
                for (std::size_t k = 0; k < h; ++k) {
                    const float vr = br[k] * wc[k] - bi[k] * ws[k];
                    const float vi = br[k] * ws[k] + bi[k] * wc[k];
                    br[k] = ar[k] - vr;
                    bi[k] = ai[k] - vi;
                    ar[k] += vr;
                    ai[k] += vi;
                }
            }
            twiddles += h;
        }
        // The even and odd samples' spectra, unpicked from the one transform.
        for (std::size_t k = 0; k < m_half; ++k) {
            const std::size_t j = k == 0 ? 0 : m_half - k;
            const float evenRe = 0.5f * (re[k] + re[j]);
            const float evenIm = 0.5f * (im[k] - im[j]);
            const float oddRe = 0.5f * (im[k] + im[j]);
            const float oddIm = -0.5f * (re[k] - re[j]);
            const float outRe = evenRe + m_cos[k] * oddRe - m_sin[k] * oddIm;
            const float outIm = evenIm + m_cos[k] * oddIm + m_sin[k] * oddRe;
            power[k] = outRe * outRe + outIm * outIm;
        }
    }

private:
    std::size_t m_half;
    std::vector<float> m_window;
    std::vector<float> m_re;
    std::vector<float> m_im;
    std::vector<std::size_t> m_reversed;
    std::vector<float> m_stageCos;
    std::vector<float> m_stageSin;
    std::vector<float> m_cos;
    std::vector<float> m_sin;
};

double MedianOf(std::vector<double>& values, const double* begin, const double* end) {
    values.assign(begin, end);
    auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The bins of the spectrum and how a band is measured against its neighbourhood.
struct Bands {
    std::size_t bins = 0;
    std::size_t first = 0;
    std::size_t last = 0;
    std::size_t gap = 0;
    std::size_t reach = 0;
    double binHz = 0;
};

// How one stretch of spectra scores each band: 0 where it does not stand out as a tone.
struct StretchScore {
    std::vector<double> logPower;    // the stretch's average of each bin's dB
    std::vector<double> prominence;  // above the baseline of its neighbourhood
    std::vector<double> score;
};

// Scores the bands over `spectra` rows of dB values, `bands.bins` each.
void ScoreStretch(const std::vector<float>& rows, std::size_t spectra, const Bands& bands,
                  StretchScore& out) {
    const std::size_t bins = bands.bins;
    const std::size_t first = bands.first;
    const std::size_t last = bands.last;
    // The log of each bin's power is averaged over the spectra, so a loud beep or click in a
    // few of them weighs little against a tone that runs through the whole stretch.
    out.logPower.assign(bins, 0.0);
    for (std::size_t s = 0; s < spectra; ++s) {
        const float* row = rows.data() + s * bins;
        for (std::size_t k = 0; k < bins; ++k) out.logPower[k] += row[k];
    }
    for (double& p : out.logPower) p /= static_cast<double>(spectra);
    const std::vector<double>& logPower = out.logPower;

    // Keyed on and off at up to 490 bits per second the tone spreads over several hundred hertz
    // either side; it is measured against a neighbourhood beyond that spread, whose median
    // follows the slope of pink noise and the like. The baseline changes slowly with frequency:
    // computed on every few bins, held between. It is the higher of the medians below and above
    // the tone, so the slope of pink noise or hum on one side does not make a band stand out.
    const std::size_t gap = bands.gap;
    const std::size_t reach = bands.reach;
    const std::size_t stride = std::max<std::size_t>(1, gap / 8);
    const std::size_t minSide = std::max<std::size_t>(4, gap / 4);
    std::vector<double> baseline(bins, 0.0);
    std::vector<double> side;
    auto sideMedian = [&](std::size_t lo, std::size_t hi, double& median) {
        if (hi < lo + minSide) return false;
        median = MedianOf(side, logPower.data() + lo, logPower.data() + hi);
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
    out.prominence.assign(bins, 0.0);
    for (std::size_t k = first; k < last; ++k) out.prominence[k] = logPower[k] - baseline[k];

    // A transfer of a few seconds is in few spectra and barely moves the average: each
    // spectrum, levelled by its own median, is measured against the same baseline, and every
    // spectrum in which a band stands out counts for it (up to a cap, so one loud beep counts
    // like any other spectrum).
    const double averageMedian = MedianOf(side, logPower.data() + first, logPower.data() + last);
    std::vector<double> events(bins, 0.0);
    std::vector<double> row(bins);
    std::vector<double> sample;
    for (std::size_t s = 0; s < spectra; ++s) {
        const float* spectrum = rows.data() + s * bins;
        std::copy(spectrum, spectrum + bins, row.begin());
        // A spectrum's level: the median of every fourth band tells it as well as all of them.
        sample.clear();
        for (std::size_t k = first; k < last; k += 4) sample.push_back(row[k]);
        const double level = MedianOf(side, sample.data(), sample.data() + sample.size()) - averageMedian;
        for (std::size_t k = first; k < last; ++k) {
            const double above = row[k] - level - baseline[k] - kEventDb;
            events[k] += std::clamp(above, 0.0, kEventCapDb);
        }
    }
    out.score.assign(bins, 0.0);
    for (std::size_t k = first; k < last; ++k) {
        const bool stands = out.prominence[k] >= kMinProminenceDb || events[k] >= kMinEvents;
        out.score[k] = stands ? events[k] + out.prominence[k] : 0.0;
    }
}

}  // namespace

struct CarrierSearcher::State {
    std::ptrdiff_t count = 0;
    int most = 0;
    std::size_t n = 0;
    std::ptrdiff_t window = 0;
    std::ptrdiff_t windows = 0;
    std::ptrdiff_t stretches = 0;
    Bands bands;
    PowerSpectrum spectrum;
    std::vector<float> power;
    std::vector<float> rows;
    StretchScore stretch;
    // Each band keeps its best stretch: its score there, and where its peak lies between bins.
    std::vector<double> bestScore;
    std::vector<double> bestProminence;
    std::vector<float> bestOffset;
    // Which bands stand out in each stretch (a few kilobytes per stretch), to tell afterwards
    // where the chosen tones sound.
    std::vector<std::vector<std::uint32_t>> standing;
    std::ptrdiff_t next = 0;        // the stretch to score next
    std::ptrdiff_t position = 0;    // samples handed over so far
    std::vector<float> held;        // of the stretch `next`, when it came in pieces

    State(std::size_t size) : n(size), spectrum(size) {}

    std::ptrdiff_t FirstWindowOf(std::ptrdiff_t s) const { return s * windows / stretches; }
    std::ptrdiff_t FirstSampleOf(std::ptrdiff_t s) const { return FirstWindowOf(s) * window; }
    // Scores stretch `next`, whose samples start at `samples`.
    void Score(const float* samples);
};

void CarrierSearcher::State::Score(const float* samples) {
    const std::ptrdiff_t s = next++;
    const std::size_t bins = bands.bins;
    const std::size_t spectra = static_cast<std::size_t>(FirstWindowOf(s + 1) - FirstWindowOf(s));
    rows.resize(spectra * bins);
    for (std::size_t w = 0; w < spectra; ++w) {
        spectrum.Of(samples + static_cast<std::ptrdiff_t>(w) * window, power.data());
        // Bins far below the spectrum's total hold only rounding noise; a floor 90 dB down
        // keeps their random ups and downs from passing for a tone.
        double total = 0;
        for (float p : power) total += p;
        const float floor = static_cast<float>(total * 1e-9 + 1e-24);
        float* row = rows.data() + w * bins;
        for (std::size_t k = 0; k < bins; ++k) row[k] = 10.0f * std::log10(power[k] + floor);
    }
    ScoreStretch(rows, spectra, bands, stretch);
    for (std::size_t k = bands.first; k < bands.last; ++k) {
        if (stretch.score[k] <= 0.0) continue;
        standing[static_cast<std::size_t>(s)].push_back(static_cast<std::uint32_t>(k));
        if (stretch.score[k] <= bestScore[k]) continue;
        bestScore[k] = stretch.score[k];
        bestProminence[k] = stretch.prominence[k];
        // The peak of the Hann-windowed tone is close to a parabola in the log domain.
        const double a = stretch.logPower[k - 1];
        const double b = stretch.logPower[k];
        const double c = stretch.logPower[k + 1];
        const double denominator = a - 2.0 * b + c;
        const double offset = denominator < 0 ? 0.5 * (a - c) / denominator : 0.0;
        bestOffset[k] = static_cast<float>(std::clamp(offset, -0.5, 0.5));
    }
}

CarrierSearcher::CarrierSearcher(std::ptrdiff_t count, int sampleRate, int most) {
    if (count <= 0 || sampleRate <= 0 || most <= 0) return;
    // Bins of about 20 Hz or finer: narrow enough to tell the tone from broadband sound.
    std::size_t n = 256;
    while (static_cast<double>(n) < sampleRate / 20.0) n <<= 1;
    const std::ptrdiff_t window = static_cast<std::ptrdiff_t>(n);
    const std::ptrdiff_t windows = count / window;
    if (windows < 1) return;

    Bands bands;
    bands.bins = n / 2;
    bands.binHz = static_cast<double>(sampleRate) / static_cast<double>(n);
    bands.gap = static_cast<std::size_t>(kSpreadHz / bands.binHz) + 1;
    bands.reach = static_cast<std::size_t>(kNeighbourhoodHz / bands.binHz) + 1;
    bands.first = std::max<std::size_t>(2, static_cast<std::size_t>(kLowestToneHz / bands.binHz));
    bands.last = bands.bins - 2;
    if (bands.first >= bands.last) return;

    state_ = std::make_unique<State>(n);
    State& st = *state_;
    st.count = count;
    st.most = most;
    st.window = window;
    st.windows = windows;
    st.bands = bands;
    // The spectra follow one another without overlap, a stretch at a time; a short last
    // stretch joins the one before, so every stretch has enough spectra to judge by.
    st.stretches = std::max<std::ptrdiff_t>(1, windows / kStretchSpectra);
    st.power.resize(bands.bins);
    st.bestScore.assign(bands.bins, 0.0);
    st.bestProminence.assign(bands.bins, 0.0);
    st.bestOffset.assign(bands.bins, 0.0f);
    st.standing.resize(static_cast<std::size_t>(st.stretches));
}

CarrierSearcher::~CarrierSearcher() = default;

void CarrierSearcher::Add(const float* samples, std::ptrdiff_t n) {
    if (!state_ || !samples) return;
    State& st = *state_;
    while (n > 0 && st.next < st.stretches) {
        const std::ptrdiff_t begin = st.FirstSampleOf(st.next);
        const std::ptrdiff_t end = st.FirstSampleOf(st.next + 1);
        // Samples before the stretch (none but between its spectra and the end) are passed by.
        if (st.position < begin) {
            const std::ptrdiff_t skip = std::min(n, begin - st.position);
            st.position += skip;
            samples += skip;
            n -= skip;
            continue;
        }
        const std::ptrdiff_t wanted = end - st.position;
        // A whole stretch handed over at once is scored where it lies.
        if (st.held.empty() && n >= wanted) {
            st.Score(samples);
        } else {
            const std::ptrdiff_t take = std::min(n, wanted);
            st.held.insert(st.held.end(), samples, samples + take);
            if (take == wanted) {
                st.Score(st.held.data());
                st.held.clear();
            }
        }
        const std::ptrdiff_t took = std::min(n, wanted);
        st.position += took;
        samples += took;
        n -= took;
    }
}

CarrierSearch CarrierSearcher::Finish() {
    CarrierSearch found;
    // Sound that ended before the count it was announced with leaves stretches unscored: they
    // count as holding no tone.
    if (!state_) return found;
    State& st = *state_;
    const Bands& bands = st.bands;
    const std::size_t bins = bands.bins;
    std::vector<double>& bestScore = st.bestScore;
    const std::ptrdiff_t stretches = st.stretches;

    std::vector<std::size_t> chosen;
    double firstScore = 0;
    for (int pick = 0; pick < st.most; ++pick) {
        std::size_t best = 0;
        for (std::size_t k = bands.first; k < bands.last; ++k) {
            if (bestScore[k] > bestScore[best]) best = k;
        }
        // A band far weaker than the first is not worth a pass over the recording.
        if (best == 0 || bestScore[best] <= 0.0 ||
            (!found.carriers.empty() && bestScore[best] < kWeakerShare * firstScore)) {
            break;
        }
        if (found.carriers.empty()) firstScore = bestScore[best];
        found.carriers.push_back({(static_cast<double>(best) + st.bestOffset[best]) * bands.binHz,
                                  st.bestProminence[best]});
        chosen.push_back(best);
        // The next candidate lies clear of this one and of its sidebands.
        const std::size_t clear = static_cast<std::size_t>(kCandidateSpacingHz / bands.binHz) + 1;
        const std::size_t lo = best > clear ? best - clear : 0;
        for (std::size_t j = lo; j <= std::min(bins - 1, best + clear); ++j) bestScore[j] = 0.0;
    }

    // The stretches where a chosen tone stands out, widened by a margin and joined where they
    // meet or overlap.
    const std::size_t near = static_cast<std::size_t>(kSameToneHz / bands.binHz) + 1;
    std::vector<bool> sounds(static_cast<std::size_t>(stretches), false);
    for (std::ptrdiff_t s = 0; s < stretches; ++s) {
        for (std::uint32_t k : st.standing[static_cast<std::size_t>(s)]) {
            for (std::size_t c : chosen) {
                if (k + near >= c && k <= c + near) sounds[static_cast<std::size_t>(s)] = true;
            }
        }
    }
    for (std::ptrdiff_t s = 0; s < stretches; ++s) {
        if (!sounds[static_cast<std::size_t>(s)]) continue;
        const std::ptrdiff_t from = std::max<std::ptrdiff_t>(0, s - kMarginStretches);
        const std::ptrdiff_t to = std::min(stretches, s + kMarginStretches + 1);
        const std::ptrdiff_t begin = st.FirstSampleOf(from);
        // The last stretch reaches to the end, with the samples no whole spectrum took.
        const std::ptrdiff_t end = to == stretches ? st.count : st.FirstSampleOf(to);
        if (!found.spans.empty() && begin <= found.spans.back().end) {
            found.spans.back().end = std::max(found.spans.back().end, end);
        } else {
            found.spans.push_back({begin, end});
        }
    }
    return found;
}

CarrierSearch SearchCarriers(const float* samples, std::ptrdiff_t count, int sampleRate, int most) {
    if (!samples) return {};
    CarrierSearcher searcher(count, sampleRate, most);
    searcher.Add(samples, count);
    return searcher.Finish();
}

std::vector<CarrierCandidate> FindCarriers(const float* samples, std::ptrdiff_t count,
                                           int sampleRate, int most) {
    return SearchCarriers(samples, count, sampleRate, most).carriers;
}

}  // namespace zendrik
