// The tone's energy over time: the recording mixed down by the tone's frequency (a quadrature
// mixer), summed in short chunks, and averaged over one bit period, so each value is the tone's
// amplitude over the bit-long window around a moment and sound outside the tone's band counts
// for little.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

namespace zendrik {

// The mixed-down recording in chunks of `chunk` samples: chunk k holds the sum of
// x[n] * exp(-i w n) over its samples.
struct MixedChunks {
    std::vector<std::complex<float>> sums;
    int chunk = 1;
};

MixedChunks MixDown(const float* samples, std::ptrdiff_t count, int sampleRate, double toneHz,
                    int chunk);

enum class ToneFilter {
    Boxcar,    // one bit-long moving average: the matched filter of a tone burst
    Triangle,  // two half-bit averages in a row: weaker sidebands, a second opinion
};

// The tone's amplitude in a window about one bit long, at chunk resolution.
class ToneEnvelope {
public:
    ToneEnvelope(const MixedChunks& mixed, double bitPeriod, ToneFilter filter);

    // Amplitude with the window centred on sample time t (interpolated; 0 outside the recording).
    float At(double t) const;
    // Index of the value whose window is centred nearest to t, clamped to the values there are.
    std::ptrdiff_t IndexAt(double t) const;
    // Sample time on which value k (fractional) is centred.
    double TimeOf(double k) const { return (k + 1.0) * m_chunk - m_delay; }

    const std::vector<float>& Values() const { return m_values; }
    int Chunk() const { return m_chunk; }

private:
    std::vector<float> m_values;
    int m_chunk = 1;
    double m_delay = 0;  // from a window's centre to its end, in samples
};

}  // namespace zendrik
