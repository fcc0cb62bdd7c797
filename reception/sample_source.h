// Sound handed over a block at a time: one channel of samples at a rate, read from the start as
// often as a receiver needs to pass over it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "reception/audio_clip.h"

namespace zendrik {

class SampleSource {
public:
    virtual ~SampleSource() = default;

    virtual int SampleRate() const = 0;
    // Back to the first sample; false when the sound cannot be read again.
    virtual bool Rewind() = 0;
    // Up to `most` of the next samples into `out`; how many, 0 at the end.
    virtual std::ptrdiff_t Read(std::int16_t* out, std::ptrdiff_t most) = 0;
    // The same as full scale +-1.0. A reader that decodes to more than 16 bits (a float or
    // 24-bit file, a lossy codec) hands over its own values, so the second receiver reads what
    // it would read from the whole file decoded at once.
    virtual std::ptrdiff_t ReadFloats(float* out, std::ptrdiff_t most) {
        std::int16_t block[4096];
        const std::ptrdiff_t got = Read(block, std::min<std::ptrdiff_t>(most, std::size(block)));
        for (std::ptrdiff_t i = 0; i < got; ++i) out[i] = static_cast<float>(block[i]) / 32768.0f;
        return got;
    }
    // How the file stored the sound, for the reception report.
    virtual SoundCoding Coding() const { return {}; }
};

// Sound already held whole, handed over as a source: for tests, the fuzz harnesses and the
// sound a live reading has collected. The clip must outlive the source.
class ClipSource : public SampleSource {
public:
    explicit ClipSource(const AudioClip& clip) : clip_(clip) {}

    int SampleRate() const override { return clip_.sampleRate; }
    bool Rewind() override {
        position_ = 0;
        return true;
    }
    std::ptrdiff_t Read(std::int16_t* out, std::ptrdiff_t most) override {
        const std::ptrdiff_t got = Take(most);
        for (std::ptrdiff_t i = 0; i < got; ++i) {
            const float x = clip_.samples[static_cast<std::size_t>(position_ + i)] * 32768.0f;
            out[i] = static_cast<std::int16_t>(std::clamp(x == x ? x : 0.0f, -32768.0f, 32767.0f));
        }
        position_ += got;
        return got;
    }
    std::ptrdiff_t ReadFloats(float* out, std::ptrdiff_t most) override {
        const std::ptrdiff_t got = Take(most);
        std::copy_n(clip_.samples.data() + position_, got, out);
        position_ += got;
        return got;
    }
    SoundCoding Coding() const override { return clip_.coding; }

private:
    std::ptrdiff_t Take(std::ptrdiff_t most) const {
        return std::clamp<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(clip_.samples.size()) - position_, 0,
                                          std::max<std::ptrdiff_t>(most, 0));
    }

    const AudioClip& clip_;
    std::ptrdiff_t position_ = 0;
};

}  // namespace zendrik
