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

ToneEnvelope::ToneEnvelope(const MixedChunks& mixed, double bitPeriod, ToneFilter filter)
    : m_chunk(mixed.chunk) {
    const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(mixed.sums.size());
    const int span = std::max(1, static_cast<int>(std::lround(bitPeriod / m_chunk)));
    m_values.assign(static_cast<std::size_t>(n), 0.0f);
    // Running sums in double: over a long recording float sums would drift.
    auto movingSum = [n](const std::vector<std::complex<double>>& in, int length) {
        std::vector<std::complex<double>> out(in.size());
        std::complex<double> acc = 0.0;
        for (std::ptrdiff_t k = 0; k < n; ++k) {
            acc += in[static_cast<std::size_t>(k)];
            if (k >= length) acc -= in[static_cast<std::size_t>(k - length)];
            out[static_cast<std::size_t>(k)] = acc;
        }
        return out;
    };
    std::vector<std::complex<double>> sums(mixed.sums.begin(), mixed.sums.end());
    double scale = 0;
    if (filter == ToneFilter::Boxcar) {
        sums = movingSum(sums, span);
        scale = 2.0 / (static_cast<double>(span) * m_chunk);
        m_delay = 0.5 * span * m_chunk;
    } else {
        const int first = (span + 1) / 2;
        const int second = std::max(1, span - first + 1);
        sums = movingSum(movingSum(sums, first), second);
        scale = 2.0 / (static_cast<double>(first) * second * m_chunk);
        m_delay = 0.5 * (first + second - 1) * m_chunk;
    }
    // Scaled so a steady tone of peak amplitude A reads A.
    for (std::ptrdiff_t k = 0; k < n; ++k) {
        m_values[static_cast<std::size_t>(k)] =
            static_cast<float>(std::abs(sums[static_cast<std::size_t>(k)]) * scale);
    }
}

float ToneEnvelope::At(double t) const {
    const double k = (t + m_delay) / m_chunk - 1.0;
    if (!(k >= 0.0) || k > static_cast<double>(m_values.size()) - 1.0) return 0.0f;
    const std::size_t i = static_cast<std::size_t>(k);
    if (i + 1 >= m_values.size()) return m_values[i];
    const float f = static_cast<float>(k - static_cast<double>(i));
    return m_values[i] + f * (m_values[i + 1] - m_values[i]);
}

std::ptrdiff_t ToneEnvelope::IndexAt(double t) const {
    if (m_values.empty()) return 0;
    const double k = std::round((t + m_delay) / m_chunk - 1.0);
    if (!(k >= 0.0)) return 0;
    return static_cast<std::ptrdiff_t>(
        std::min(k, static_cast<double>(m_values.size() - 1)));
}

}  // namespace zendrik
