// Sound handed over a block at a time: one channel of samples at a rate, read from the start as
// often as a receiver needs to pass over it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "reception/audio_clip.h"

namespace zendrik {

// A sample of full scale +-1.0 as a 16-bit one, rounded half away from zero; not a number is
// silence. Rounded by hand: the C library's lroundf is a call, and in the browser's build a slow
// one, on every sample of a recording (the part after the point is exact in a float of at most
// 2^15, so this rounds as lroundf does, for every float).
inline std::int16_t SampleOf(float x) {
    const float scaled = x == x ? std::clamp(x * 32768.0f, -32768.0f, 32767.0f) : 0.0f;
    const int whole = static_cast<int>(scaled);
    const float rest = scaled - static_cast<float>(whole);
    return static_cast<std::int16_t>(whole + (rest >= 0.5f) - (rest <= -0.5f));
}

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
        std::transform(clip_.samples.data() + position_, clip_.samples.data() + position_ + got, out, SampleOf);
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

// The sound of another source from its sample `from` on: where a receiver looks for more after
// what it has read. The source must outlive this.
class SourceFrom : public SampleSource {
public:
    SourceFrom(SampleSource& source, std::ptrdiff_t from) : source_(source), from_(from) {}

    int SampleRate() const override { return source_.SampleRate(); }
    bool Rewind() override {
        if (!source_.Rewind()) return false;
        float skipped[4096];
        for (std::ptrdiff_t left = from_, got; left > 0; left -= got) {
            got = source_.ReadFloats(skipped, std::min<std::ptrdiff_t>(left, std::size(skipped)));
            if (got <= 0) break;
        }
        return true;
    }
    std::ptrdiff_t Read(std::int16_t* out, std::ptrdiff_t most) override { return source_.Read(out, most); }
    std::ptrdiff_t ReadFloats(float* out, std::ptrdiff_t most) override { return source_.ReadFloats(out, most); }
    SoundCoding Coding() const override { return source_.Coding(); }

private:
    SampleSource& source_;
    std::ptrdiff_t from_;
};

}  // namespace zendrik
