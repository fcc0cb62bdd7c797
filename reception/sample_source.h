// Sound handed over a block at a time: one channel of 16-bit samples at a rate, read from the
// start as often as a receiver needs to pass over it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zendrik {

class SampleSource {
public:
    virtual ~SampleSource() = default;

    virtual int SampleRate() const = 0;
    // Back to the first sample; false when the sound cannot be read again.
    virtual bool Rewind() = 0;
    // Up to `most` of the next samples into `out`; how many, 0 at the end.
    virtual std::ptrdiff_t Read(std::int16_t* out, std::ptrdiff_t most) = 0;
};

}  // namespace zendrik
