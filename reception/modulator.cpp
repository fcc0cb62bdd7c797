#include "reception/modulator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zendrik {

namespace {

// A small, fast generator for the hiss; the same seed gives the same recording on any machine.
class Hiss {
public:
    explicit Hiss(std::uint32_t seed) : m_state(seed ? seed : 0x9E3779B9u) {}
    int Next(int peak) {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        if (peak <= 0) return 0;
        return static_cast<int>(m_state % (2u * static_cast<unsigned>(peak) + 1)) - peak;
    }

private:
    std::uint32_t m_state;
};

}  // namespace

ModulatorSettings ModulatorSettingsFor(BitTiming at44100) {
    ModulatorSettings settings;
    settings.bitPeriod = at44100.period;
    return settings;
}

namespace {

// One period of the burst's wave at `phase` (radians), peak 1 for a sine.
double Wave(BurstShape shape, double phase, double toneHz, int sampleRate) {
    if (shape == BurstShape::Sine) return std::sin(phase);
    // The square wave's odd harmonics, each at 1/k of the fundamental, as far as the rate holds
    // them: a square wave sampled as it is would fold its higher harmonics back among them.
    double sum = 0;
    for (int k = 1; k * toneHz < 0.5 * sampleRate; k += 2) sum += std::sin(k * phase) / k;
    return sum * 4.0 / std::numbers::pi;
}

}  // namespace

std::vector<std::int16_t> ModulateBytes(const std::vector<std::uint8_t>& bytes,
                                        const ModulatorSettings& settings) {
    const int period = std::max(1, settings.bitPeriod);
    const int bitsPerFrame = 10 + std::max(0, settings.gapBits);
    const std::size_t total = static_cast<std::size_t>(std::max(0, settings.leadIn)) +
                              bytes.size() * static_cast<std::size_t>(bitsPerFrame) * period +
                              static_cast<std::size_t>(std::max(0, settings.leadOut));
    std::vector<std::int16_t> out;
    out.reserve(total);
    Hiss hiss(settings.seed);
    Hiss levels(settings.seed ^ 0x5BD1E995u);
    const double step = 2.0 * std::numbers::pi * settings.toneHz / settings.sampleRate;
    const int spread = std::clamp(settings.levelSpread, 0, 100);
    auto quiet = [&](int count) {
        for (int i = 0; i < count; ++i) {
            out.push_back(static_cast<std::int16_t>(hiss.Next(settings.noise)));
        }
    };
    // A burst of `count` samples; a keyed oscillator starts each at the same phase.
    auto burst = [&](int count) {
        const double peak =
            spread == 0
                ? settings.amplitude
                : settings.amplitude * (1.0 - spread * 0.01 * (levels.Next(500) + 500) / 1000.0);
        const long start = settings.freeRunning ? static_cast<long>(out.size()) : 0;
        const int edge = std::min(std::max(0, settings.edgeSamples), count / 2);
        for (int i = 0; i < count; ++i) {
            double value = hiss.Next(settings.noise);
            double tone = peak * Wave(settings.shape, step * static_cast<double>(start + i),
                                      settings.toneHz, settings.sampleRate);
            const int fromEdge = std::min(i, count - 1 - i);
            if (fromEdge < edge) {
                tone *= 0.5 - 0.5 * std::cos(std::numbers::pi * (fromEdge + 0.5) / edge);
            }
            value += tone;
            out.push_back(static_cast<std::int16_t>(std::clamp(std::lround(value), -32768L, 32767L)));
        }
    };
    quiet(settings.leadIn);
    std::vector<bool> bits;
    bits.reserve(bytes.size() * static_cast<std::size_t>(bitsPerFrame));
    for (std::uint8_t byte : bytes) {
        const int frame = 1 | (byte << 1);  // start bit, data LSB first; stop bit and gap quiet
        for (int bit = 0; bit < bitsPerFrame; ++bit) bits.push_back((frame >> bit) & 1);
    }
    for (std::size_t b = 0; b < bits.size();) {
        std::size_t end = b + 1;
        while (end < bits.size() && bits[end] == bits[b]) ++end;
        const int count = static_cast<int>(end - b) * period;
        if (bits[b]) {
            burst(count);
        } else {
            quiet(count);
        }
        b = end;
    }
    quiet(settings.leadOut);
    return out;
}

}  // namespace zendrik
