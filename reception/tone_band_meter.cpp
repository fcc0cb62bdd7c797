#include "reception/tone_band_meter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zendrik {

// Butterworth sections (the audio cookbook's), 12 dB per octave: 50 Hz hum four octaves below
// the band comes out 48 dB down.
ToneBandMeter::Section ToneBandMeter::Butterworth(bool highPass, double hz, int sampleRate) {
    const double w = 2.0 * std::numbers::pi * hz / sampleRate;
    const double cosW = std::cos(w);
    const double alpha = std::sin(w) / std::numbers::sqrt2;  // Q = 1/sqrt(2)
    const double a0 = 1.0 + alpha;
    const double edge = (highPass ? 1.0 + cosW : 1.0 - cosW) / 2.0;
    Section s;
    s.b0 = edge / a0;
    s.b1 = (highPass ? -2.0 : 2.0) * edge / a0;
    s.b2 = edge / a0;
    s.a1 = -2.0 * cosW / a0;
    s.a2 = (1.0 - alpha) / a0;
    return s;
}

ToneBandMeter::ToneBandMeter(int channels, int sampleRate)
    : m_channels(std::max(channels, 1)),
      // Near half the rate there is nothing above an edge to take away, and a section there
      // would not be stable; at a rate that low the plain energy is all there is to go by.
      m_useHighPass(kToneBandLowHz < 0.45 * sampleRate),
      m_useLowPass(kToneBandHighHz < 0.45 * sampleRate),
      m_states(static_cast<std::size_t>(m_channels) * 2),
      m_energy(static_cast<std::size_t>(m_channels), 0.0) {
    if (m_useHighPass) m_highPass = Butterworth(true, kToneBandLowHz, sampleRate);
    if (m_useLowPass) m_lowPass = Butterworth(false, kToneBandHighHz, sampleRate);
}

double ToneBandMeter::Run(const Section& s, State& state, double x) {
    const double y = s.b0 * x + state.z1;
    state.z1 = s.b1 * x - s.a1 * y + state.z2;
    state.z2 = s.b2 * x - s.a2 * y;
    return y;
}

void ToneBandMeter::Add(const float* interleaved, std::int64_t frames) {
    if (!interleaved || frames <= 0) return;
    const std::size_t channels = static_cast<std::size_t>(m_channels);
    for (std::int64_t f = 0; f < frames; ++f) {
        const float* frame = interleaved + static_cast<std::size_t>(f) * channels;
        for (std::size_t c = 0; c < channels; ++c) {
            const double x = std::isfinite(frame[c]) ? frame[c] : 0.0;
            double y = m_useHighPass ? Run(m_highPass, m_states[2 * c], x) : x;
            if (m_useLowPass) y = Run(m_lowPass, m_states[2 * c + 1], y);
            m_energy[c] += y * y;
        }
    }
}

int ToneBandMeter::Loudest() const {
    return static_cast<int>(std::max_element(m_energy.begin(), m_energy.end()) - m_energy.begin());
}

}  // namespace zendrik
