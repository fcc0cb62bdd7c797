// The demodulator of live reception. Every pass demodulates all samples collected so far, as a
// run over the whole buffer would, but reuses what earlier passes worked out: the envelope of
// the samples that did not change and the frames read before the first envelope value that
// did. Its bytes are always exactly those of DemodulateSamples over all collected samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "reception/received_bytes.h"
#include "reception/stream_format.h"

namespace zendrik {

class LiveDemodulator {
public:
    // Forgets every sample; the next pass starts from nothing.
    void Clear();

    // Appends samples to the collection.
    void Append(const std::int16_t* samples, std::ptrdiff_t count);

    // Keeps only the last `count` samples (the oldest are dropped).
    void KeepLast(std::ptrdiff_t count);

    // Demodulates all collected samples with the live rectifier into out (emptied first).
    void Demodulate(BitTiming timing, ReceivedBytes& out);

    std::ptrdiff_t SampleCount() const { return static_cast<std::ptrdiff_t>(m_samples.size()); }
    const std::vector<std::int16_t>& Samples() const { return m_samples; }
    // Where among the collected samples the frame of byte `index` of the last pass began; -1
    // for a byte that pass did not read.
    std::ptrdiff_t FrameStart(std::ptrdiff_t index) const {
        return index >= 0 && index < static_cast<std::ptrdiff_t>(m_frames.size())
                   ? m_frames[static_cast<std::size_t>(index)].start
                   : -1;
    }

private:
    struct Frame {
        std::ptrdiff_t start;
        std::uint8_t value;
    };

    void ExtendEnvelope();
    void UpdateChunkRange(std::ptrdiff_t from);
    void ResetWork();

    std::vector<std::int16_t> m_samples;

    // The envelope of the samples as the last pass left it, with the back-fill state after the
    // last step it took, so the next pass carries on where it stopped.
    std::vector<std::int16_t> m_envelope;
    std::ptrdiff_t m_anchor = 0;
    std::ptrdiff_t m_filled = 0;         // back-fill steps done: indices 0 .. m_filled-1
    std::ptrdiff_t m_changedFrom = 0;    // first envelope value that differs from the last pass

    // Smallest and largest envelope value of each chunk, for the threshold.
    std::vector<std::int16_t> m_chunkLow;
    std::vector<std::int16_t> m_chunkHigh;

    // The frames the last pass read, with the timing and threshold it read them at.
    std::vector<Frame> m_frames;
    BitTiming m_timing{0, 0};
    std::int32_t m_threshold = -1;
};

}  // namespace zendrik
