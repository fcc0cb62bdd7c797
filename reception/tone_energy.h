// The tone's energy over time: the recording mixed down by the tone's frequency (a quadrature
// mixer), summed in short chunks, and averaged over one bit period, so each value is the tone's
// amplitude over the bit-long window around a moment and sound outside the tone's band counts
// for little.
#pragma once

#include <complex>
#include <cstddef>
#include <utility>
#include <vector>

namespace zendrik {

// The mixed-down recording in chunks of `chunk` samples: sums[k] holds the sum of
// x[n] * exp(-i w n) over the samples of chunk `first` + k of the recording.
struct MixedChunks {
    std::vector<std::complex<float>> sums;
    int chunk = 1;
    std::ptrdiff_t first = 0;
};

MixedChunks MixDown(const float* samples, std::ptrdiff_t count, int sampleRate, double toneHz,
                    int chunk);

// The largest amplitude over one bit, samples [start, start + length), at 1.5, 2.5, ... up to
// `sides` + 0.5 bit rates (sampleRate / length) either side of the tone. The bit is weighted by a
// raised cosine, so a burst at the tone, even a little off its bit, reads at most a sixth of
// its amplitude there, and a sound louder than the tone far off it next to nothing; any tone
// between one and `sides` + 1 bit rates off reads at least 85 % of its amplitude in one of them.
float SideAmplitude(const float* samples, std::ptrdiff_t count, int sampleRate, double toneHz,
                    double start, double length, int sides);

// The tone's frequency refined from bursts of it, each given as its first sample and length:
// by how far its phase turns from one piece of a burst to the next (pieces of half the shortest
// burst). Within half a bit rate of `toneHz`, the spectrum's estimate, this comes to a few hertz.
double RefineTone(const float* samples, std::ptrdiff_t count, int sampleRate, double toneHz,
                  const std::vector<std::pair<double, double>>& bursts);

// The mixed-down recording with the room's echoes of the given bursts (first sample and length,
// as the frames read so far place them) taken out. Each burst's phase and level come from its
// first `bitPeriod` samples, which the direct sound reaches before any echo of it; the room's
// response up to `reach` samples after the direct sound is then fitted to the whole recording
// by least squares, and everything it gives from a fraction of a bit on is subtracted. A long
// run of ones then keeps its level, and the bit after it no longer rings with its tail. Only the
// stretch the bursts and their echoes cover is returned, with a couple of frames either side.
MixedChunks RemoveEchoes(const MixedChunks& mixed, const std::vector<std::pair<double, double>>& bursts,
                         double bitPeriod, double reach);

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
    double TimeOf(double k) const { return (k + 1.0) * m_chunk - m_delay + m_origin; }

    const std::vector<float>& Values() const { return m_values; }
    int Chunk() const { return m_chunk; }

private:
    std::vector<float> m_values;
    int m_chunk = 1;
    double m_delay = 0;   // from a window's centre to its end, in samples
    double m_origin = 0;  // the sample the first chunk begins at
};

}  // namespace zendrik
