#include "reception/tone_energy.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zendrik {

MixedChunks MixDown(const float* samples, std::ptrdiff_t count, int sampleRate, double toneHz,
                    int chunk) {
    MixedChunks mixed;
    mixed.chunk = std::max(1, chunk);
    if (!samples || count <= 0 || sampleRate <= 0) return mixed;
    const std::ptrdiff_t chunks = count / mixed.chunk;
    mixed.sums.resize(static_cast<std::size_t>(chunks));
    const double w = 2.0 * std::numbers::pi * toneHz / sampleRate;
    // Within a chunk the oscillator comes from a table; the chunk's own phase is applied once
    // per chunk, so the inner loop is two multiply-adds per sample.
    std::vector<float> tableRe(static_cast<std::size_t>(mixed.chunk));
    std::vector<float> tableIm(static_cast<std::size_t>(mixed.chunk));
    for (int m = 0; m < mixed.chunk; ++m) {
        tableRe[static_cast<std::size_t>(m)] = static_cast<float>(std::cos(w * m));
        tableIm[static_cast<std::size_t>(m)] = static_cast<float>(-std::sin(w * m));
    }
    const std::complex<double> advance = std::polar(1.0, -w * mixed.chunk);
    std::complex<double> phase(1.0, 0.0);
    for (std::ptrdiff_t k = 0; k < chunks; ++k) {
        const float* x = samples + k * mixed.chunk;
        float re = 0.0f;
        float im = 0.0f;
        for (int m = 0; m < mixed.chunk; ++m) {
            re += x[m] * tableRe[static_cast<std::size_t>(m)];
            im += x[m] * tableIm[static_cast<std::size_t>(m)];
        }
        const std::complex<double> sum = phase * std::complex<double>(re, im);
        mixed.sums[static_cast<std::size_t>(k)] = std::complex<float>(sum);
        phase *= advance;
        // Renormalised now and then so rounding never lets the oscillator grow or fade.
        if ((k & 1023) == 1023) phase /= std::abs(phase);
    }
    return mixed;
}

float SideAmplitude(const float* samples, std::ptrdiff_t count, int sampleRate, double toneHz,
                    double start, double length, int sides) {
    if (!samples || count <= 0 || sampleRate <= 0 || !(length >= 2.0) || !(start >= 0.0)) return 0.0f;
    const std::ptrdiff_t first = std::lround(start);
    const std::ptrdiff_t size = std::lround(length);
    if (first >= count || size > count - first) return 0.0f;
    float most = 0.0f;
    for (int side = -sides; side <= sides; ++side) {
        if (side == 0) continue;
        const double bins = side > 0 ? side + 0.5 : side - 0.5;
        const double hz = toneHz + bins * sampleRate / static_cast<double>(size);
        const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi * hz / sampleRate);
        const std::complex<double> bend = std::polar(1.0, 2.0 * std::numbers::pi / static_cast<double>(size));
        std::complex<double> phase(1.0, 0.0);
        std::complex<double> window(1.0, 0.0);  // exp(i 2 pi n / size): the raised cosine's turn
        std::complex<double> sum = 0.0;
        for (std::ptrdiff_t n = 0; n < size; ++n) {
            const double weight = 0.5 - 0.5 * window.real();
            sum += weight * static_cast<double>(samples[first + n]) * phase;
            phase *= step;
            window *= bend;
        }
        // The raised cosine sums to half the length: a steady tone of peak amplitude A on one of
        // these frequencies reads A, as the envelope would read it.
        most = std::max(most, static_cast<float>(4.0 * std::abs(sum) / static_cast<double>(size)));
    }
    return most;
}

double RefineTone(const float* samples, std::ptrdiff_t count, int sampleRate, double toneHz,
                  const std::vector<std::pair<double, double>>& bursts) {
    if (!samples || count <= 0 || sampleRate <= 0) return toneHz;
    // Each burst is cut into pieces of one length, half the shortest burst, and the phase turns
    // from each piece to the next: bursts of many bits would otherwise weigh in with turns of
    // their own length, and the turn per sample come out too large.
    std::ptrdiff_t piece = 0;
    for (const auto& [start, length] : bursts) {
        const std::ptrdiff_t half = std::lround(length) / 2;
        if (half >= 2 && (piece == 0 || half < piece)) piece = half;
    }
    if (piece == 0) return toneHz;
    const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi * toneHz / sampleRate);
    std::complex<double> turn = 0.0;
    for (const auto& [start, length] : bursts) {
        const std::ptrdiff_t first = std::lround(start);
        const std::ptrdiff_t pieces = std::lround(length) / piece;
        if (!(start >= 0.0) || pieces < 2 || first >= count || pieces * piece > count - first) {
            continue;
        }
        std::complex<double> phase = std::polar(
            1.0, -2.0 * std::numbers::pi * toneHz * static_cast<double>(first) / sampleRate);
        std::complex<double> previous = 0.0;
        for (std::ptrdiff_t p = 0; p < pieces; ++p) {
            std::complex<double> sum = 0.0;
            for (std::ptrdiff_t n = 0; n < piece; ++n) {
                sum += static_cast<double>(samples[first + p * piece + n]) * phase;
                phase *= step;
            }
            if (p > 0) turn += sum * std::conj(previous);
            previous = sum;
        }
    }
    if (std::abs(turn) == 0.0) return toneHz;
    // The residue turns by 2 pi df piece / rate from one piece to the next.
    return toneHz +
           std::arg(turn) * sampleRate / (2.0 * std::numbers::pi * static_cast<double>(piece));
}

namespace {

// Response taps before the direct sound's own (burst edges fall between chunks, and where the
// frame reader placed them is off by a little), and the first tap counted as echo: taps closer
// than that shape the direct sound itself.
constexpr int kLeadTaps = 2;
constexpr int kFirstEchoTap = 3;
// The longest response fitted, in taps: bounds the work whatever the rate and reach.
constexpr int kMostTaps = 320;
// Sound kept either side of the bursts, in bits: two frames, for the levels around the first
// and last of them.
constexpr double kMarginBits = 24;

// Solves a x = b in place by Gaussian elimination with partial pivoting; false when singular.
bool Solve(std::vector<std::complex<double>>& a, std::vector<std::complex<double>>& b) {
    const std::size_t n = b.size();
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t pivot = col;
        for (std::size_t row = col + 1; row < n; ++row) {
            if (std::abs(a[row * n + col]) > std::abs(a[pivot * n + col])) pivot = row;
        }
        if (!(std::abs(a[pivot * n + col]) > 0.0)) return false;
        if (pivot != col) {
            for (std::size_t j = 0; j < n; ++j) std::swap(a[pivot * n + j], a[col * n + j]);
            std::swap(b[pivot], b[col]);
        }
        for (std::size_t row = col + 1; row < n; ++row) {
            const std::complex<double> f = a[row * n + col] / a[col * n + col];
            if (f == 0.0) continue;
            for (std::size_t j = col; j < n; ++j) a[row * n + j] -= f * a[col * n + j];
            b[row] -= f * b[col];
        }
    }
    for (std::size_t i = n; i-- > 0;) {
        std::complex<double> sum = b[i];
        for (std::size_t j = i + 1; j < n; ++j) sum -= a[i * n + j] * b[j];
        b[i] = sum / a[i * n + i];
    }
    return std::all_of(b.begin(), b.end(), [](const std::complex<double>& v) {
        return std::isfinite(v.real()) && std::isfinite(v.imag());
    });
}

}  // namespace

MixedChunks RemoveEchoes(const MixedChunks& mixed, const std::vector<std::pair<double, double>>& bursts,
                         double bitPeriod, double reach) {
    const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(mixed.sums.size());
    const double c = mixed.chunk;
    if (n == 0 || !(bitPeriod >= 2 * c) || !(reach >= 0.0)) return mixed;
    const int taps = kLeadTaps + 1 +
                     static_cast<int>(std::clamp(reach / c, 1.0, static_cast<double>(kMostTaps)));
    // The chunks wholly inside each burst's first bit, where the direct sound arrives first.
    struct Burst {
        double start, end;
        std::ptrdiff_t firstChunk, firstBitChunks;
    };
    std::vector<Burst> heads;
    const double origin = static_cast<double>(mixed.first) * c;
    for (const auto& [sentAt, length] : bursts) {
        const double start = sentAt - origin;
        if (!(start >= 0.0) || !(length > 0.0) || start / c >= static_cast<double>(n)) continue;
        const double end = std::min(start + length, static_cast<double>(n) * c);
        const auto first = static_cast<std::ptrdiff_t>(std::ceil(start / c));
        const auto last = static_cast<std::ptrdiff_t>(std::floor(std::min(end, start + bitPeriod) / c));
        if (last - first >= 2) heads.push_back({start, end, first, last - first});
    }
    // The tone is known only to the spectrum's resolution, and a long burst turns by what is
    // left: how far the first bits' halves turn from one to the other gives it, and the chunks
    // are turned back by it, so each burst holds one phase.
    std::complex<double> turn = 0.0;
    double halves = 0;
    for (const Burst& burst : heads) {
        const std::ptrdiff_t half = burst.firstBitChunks / 2;
        std::complex<double> a = 0.0;
        std::complex<double> b = 0.0;
        for (std::ptrdiff_t k = 0; k < half; ++k) {
            a += std::complex<double>(mixed.sums[static_cast<std::size_t>(burst.firstChunk + k)]);
            b += std::complex<double>(mixed.sums[static_cast<std::size_t>(burst.firstChunk + half + k)]);
        }
        turn += b * std::conj(a);
        halves += static_cast<double>(half) * c;
    }
    if (heads.empty() || !(std::abs(turn) > 0.0)) return mixed;
    const double drift = std::arg(turn) / (halves / static_cast<double>(heads.size()));
    std::ptrdiff_t lo = n;
    std::ptrdiff_t hi = 0;
    for (const Burst& burst : heads) {
        lo = std::min(lo, static_cast<std::ptrdiff_t>(burst.start / c));
        hi = std::max(hi, std::min(n, static_cast<std::ptrdiff_t>(std::ceil(burst.end / c))));
    }
    const std::ptrdiff_t margin = std::lround(kMarginBits * bitPeriod / c);
    const std::ptrdiff_t from = std::max<std::ptrdiff_t>(0, lo - margin);
    const std::ptrdiff_t to = std::min(n, hi + taps + margin);
    MixedChunks out = mixed;
    const std::complex<double> advance = std::polar(1.0, -drift * c);
    std::complex<double> phase = std::polar(1.0, -drift * (static_cast<double>(from) + 0.5) * c);
    for (std::ptrdiff_t k = from; k < to; ++k) {
        const std::complex<float> by(phase);
        std::complex<float>& v = out.sums[static_cast<std::size_t>(k)];
        v = {v.real() * by.real() - v.imag() * by.imag(), v.real() * by.imag() + v.imag() * by.real()};
        phase *= advance;
        if ((k & 1023) == 1023) phase /= std::abs(phase);
    }
    // The sound as sent: each burst at its own phase and level over the chunks it covers.
    std::vector<std::complex<double>> sent(static_cast<std::size_t>(n));
    for (const Burst& burst : heads) {
        std::complex<double> sum = 0.0;
        for (std::ptrdiff_t k = 0; k < burst.firstBitChunks; ++k) {
            sum += std::complex<double>(out.sums[static_cast<std::size_t>(burst.firstChunk + k)]);
        }
        const std::complex<double> phasor = sum / static_cast<double>(burst.firstBitChunks);
        const auto first = static_cast<std::ptrdiff_t>(burst.start / c);
        const auto last = std::min(n, static_cast<std::ptrdiff_t>(std::ceil(burst.end / c)));
        for (std::ptrdiff_t k = first; k < last; ++k) {
            const double cover = (std::min(burst.end, (k + 1) * c) - std::max(burst.start, k * c)) / c;
            if (cover > 0) sent[static_cast<std::size_t>(k)] += cover * phasor;
        }
    }
    // Received chunk k is taken as the sum over taps a of g[a] sent[k - a + kLeadTaps]; the
    // normal equations' matrix is then the sent sound's autocorrelation.
    // Only the chunks the bursts cover carry sent sound, so every sum runs over them alone.
    std::vector<std::ptrdiff_t> active;
    for (std::ptrdiff_t k = lo; k < hi; ++k) {
        if (sent[static_cast<std::size_t>(k)] != 0.0) active.push_back(k);
    }
    // conj(a) * b written out: the library's product checks for infinities on every call.
    auto conjTimes = [](std::complex<double> a, std::complex<double> b) {
        return std::complex<double>(a.real() * b.real() + a.imag() * b.imag(),
                                    a.real() * b.imag() - a.imag() * b.real());
    };
    std::vector<std::complex<double>> autocorrelation(static_cast<std::size_t>(taps));
    for (int d = 0; d < taps; ++d) {
        std::complex<double> sum = 0.0;
        for (std::ptrdiff_t k : active) {
            if (k + d >= hi) break;
            sum += conjTimes(sent[static_cast<std::size_t>(k)], sent[static_cast<std::size_t>(k + d)]);
        }
        autocorrelation[static_cast<std::size_t>(d)] = sum;
    }
    const double ridge = 1e-6 * autocorrelation[0].real();
    if (!(ridge > 0.0)) return mixed;
    const auto t = static_cast<std::size_t>(taps);
    std::vector<std::complex<double>> matrix(t * t);
    std::vector<std::complex<double>> response(t);
    for (std::size_t a = 0; a < t; ++a) {
        for (std::size_t b = 0; b < t; ++b) {
            matrix[a * t + b] = a >= b ? autocorrelation[a - b] : std::conj(autocorrelation[b - a]);
        }
        matrix[a * t + a] += ridge;
        std::complex<double> sum = 0.0;
        const std::ptrdiff_t lag = static_cast<std::ptrdiff_t>(a) - kLeadTaps;
        for (std::ptrdiff_t j : active) {
            const std::ptrdiff_t k = j + lag;
            if (k < 0) continue;
            if (k >= n) break;
            sum += conjTimes(sent[static_cast<std::size_t>(j)],
                             std::complex<double>(out.sums[static_cast<std::size_t>(k)]));
        }
        response[a] = sum;
    }
    if (!Solve(matrix, response)) return mixed;
    std::vector<std::complex<double>> echo(static_cast<std::size_t>(n));
    for (std::ptrdiff_t j : active) {
        const std::complex<double> x = sent[static_cast<std::size_t>(j)];
        for (int a = kLeadTaps + kFirstEchoTap; a < taps; ++a) {
            const std::ptrdiff_t k = j + a - kLeadTaps;
            if (k >= n) break;
            const std::complex<double> g = response[static_cast<std::size_t>(a)];
            echo[static_cast<std::size_t>(k)] += std::complex<double>(
                g.real() * x.real() - g.imag() * x.imag(), g.real() * x.imag() + g.imag() * x.real());
        }
    }
    MixedChunks dry;
    dry.chunk = mixed.chunk;
    dry.first = mixed.first + from;
    dry.sums.reserve(static_cast<std::size_t>(to - from));
    for (std::ptrdiff_t k = from; k < to; ++k) {
        dry.sums.push_back(out.sums[static_cast<std::size_t>(k)] -
                           std::complex<float>(echo[static_cast<std::size_t>(k)]));
    }
    return dry;
}

ToneEnvelope::ToneEnvelope(const MixedChunks& mixed, double bitPeriod, ToneFilter filter)
    : m_chunk(mixed.chunk), m_origin(static_cast<double>(mixed.first) * mixed.chunk) {
    const std::size_t n = mixed.sums.size();
    const int span = std::max(1, static_cast<int>(std::lround(bitPeriod / m_chunk)));
    m_values.assign(n, 0.0f);
    // Running sums in double (over a long recording float sums would drift), and a ring of
    // the first average's last values for the second one, so nothing the size of the
    // recording is needed besides the result.
    const int first = filter == ToneFilter::Boxcar ? span : (span + 1) / 2;
    const int second = filter == ToneFilter::Boxcar ? 1 : std::max(1, span - first + 1);
    std::vector<std::complex<double>> ring(static_cast<std::size_t>(second));
    std::complex<double> inner = 0.0;
    std::complex<double> outer = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        inner += std::complex<double>(mixed.sums[k]);
        if (k >= static_cast<std::size_t>(first)) inner -= std::complex<double>(mixed.sums[k - first]);
        std::complex<double>& slot = ring[k % ring.size()];
        outer += inner - slot;
        slot = inner;
        m_values[k] = static_cast<float>(std::abs(outer));
    }
    // Scaled so a steady tone of peak amplitude A reads A.
    const double scale = 2.0 / (static_cast<double>(first) * second * m_chunk);
    for (float& v : m_values) v = static_cast<float>(v * scale);
    m_delay = 0.5 * (first + second - 1) * m_chunk;
}

float ToneEnvelope::At(double t) const {
    const double k = (t - m_origin + m_delay) / m_chunk - 1.0;
    if (!(k >= 0.0) || k > static_cast<double>(m_values.size()) - 1.0) return 0.0f;
    const std::size_t i = static_cast<std::size_t>(k);
    if (i + 1 >= m_values.size()) return m_values[i];
    const float f = static_cast<float>(k - static_cast<double>(i));
    return m_values[i] + f * (m_values[i + 1] - m_values[i]);
}

std::ptrdiff_t ToneEnvelope::IndexAt(double t) const {
    if (m_values.empty()) return 0;
    const double k = std::round((t - m_origin + m_delay) / m_chunk - 1.0);
    if (!(k >= 0.0)) return 0;
    return static_cast<std::ptrdiff_t>(
        std::min(k, static_cast<double>(m_values.size() - 1)));
}

}  // namespace zendrik
