#include "reception/modulator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// A small, fast generator for the hiss; the same seed gives the same recording on any machine.
class CHiss {
public:
    explicit CHiss(std::uint32_t seed) : m_state(seed ? seed : 0x9E3779B9u) {}
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

CModulatorSettings ModulatorSettingsFor(BitTiming at44100) {
    CModulatorSettings settings;
    settings.bitPeriod = at44100.period;
    return settings;
}

std::vector<std::int16_t> ModulateBytes(const std::vector<std::uint8_t>& bytes,
                                        const CModulatorSettings& settings) {
    const int period = std::max(1, settings.bitPeriod);
    const int bitsPerFrame = 10 + std::max(0, settings.gapBits);
    const std::size_t total = static_cast<std::size_t>(std::max(0, settings.leadIn)) +
                              bytes.size() * static_cast<std::size_t>(bitsPerFrame) * period +
                              static_cast<std::size_t>(std::max(0, settings.leadOut));
    std::vector<std::int16_t> out;
    out.reserve(total);
    CHiss hiss(settings.seed);
    const double step = 2.0 * std::numbers::pi * settings.toneHz / settings.sampleRate;
    long phase = 0;  // samples since the current burst began
    auto emit = [&](bool tone, int count) {
        for (int i = 0; i < count; ++i) {
            double value = hiss.Next(settings.noise);
            if (tone) value += settings.amplitude * std::sin(step * static_cast<double>(phase++));
            out.push_back(static_cast<std::int16_t>(std::clamp(std::lround(value), -32768L, 32767L)));
        }
        if (!tone) phase = 0;  // the next burst starts at the same phase, as a keyed oscillator
    };
    emit(false, settings.leadIn);
    for (std::uint8_t byte : bytes) {
        const int frame = 1 | (byte << 1);  // start bit, data LSB first; stop bit and gap quiet
        for (int bit = 0; bit < bitsPerFrame; ++bit) emit((frame >> bit) & 1, period);
    }
    emit(false, settings.leadOut);
    return out;
}
