// Which channel of a recording holds the watch: the one with the most energy in the band its
// tone lies in. Plain energy would pick a channel of mains hum or rumble over a quieter one that
// carries the tone.
#pragma once

#include <cstdint>
#include <vector>

namespace zendrik {

// The band the watch's tone may lie in: its frequency is not documented, and from 1000 to 8000 Hz
// is what recordings have shown; hum and its harmonics lie below, most of a microphone's hiss
// above.
inline constexpr double kToneBandLowHz = 1000.0;
inline constexpr double kToneBandHighHz = 8000.0;

// Sums each channel's energy in the tone's band over interleaved sound handed over in blocks of
// any size, keeping only a few values per channel.
class ToneBandMeter {
public:
    // For sound of `channels` channels (at least one) at `sampleRate` samples per second.
    ToneBandMeter(int channels, int sampleRate);

    // Adds `frames` interleaved frames, full scale +-1.0 (or any scale, the same for every
    // block); a value that is not finite counts as silence.
    void Add(const float* interleaved, std::int64_t frames);

    // The channel with the most energy in the band; the first of equals, so 0 when all are
    // silent.
    int Loudest() const;

private:
    // A second-order section, transposed direct form II.
    struct Section {
        double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    };
    struct State {
        double z1 = 0, z2 = 0;
    };
    static Section Butterworth(bool highPass, double hz, int sampleRate);
    static double Run(const Section& s, State& state, double x);

    int m_channels;
    Section m_highPass;
    Section m_lowPass;
    bool m_useHighPass;
    bool m_useLowPass;
    std::vector<State> m_states;  // two per channel: high pass, low pass
    std::vector<double> m_energy;
};

}  // namespace zendrik
