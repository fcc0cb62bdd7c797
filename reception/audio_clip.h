// Sound as the second receiver and the audio file reader exchange it: one channel of samples at
// the recording's own rate, full scale at +-1.0, with how the file stored it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zendrik {

// How a recording was stored, where that limits what can be read from it: a lossy codec keeps
// what the ear hears, and at a low bit rate it blurs the edges of the watch's tone bursts.
struct SoundCoding {
    std::string lossyCodec;  // "AAC", "MP3", "Opus", ...; empty for PCM, FLAC or not known
    int bitsPerSecond = 0;   // the codec's average bit rate; 0 when not known
};

struct AudioClip {
    AudioClip() = default;
    AudioClip(std::vector<float> sound, int rate) : samples(std::move(sound)), sampleRate(rate) {}

    std::vector<float> samples;  // one channel, full scale +-1.0
    int sampleRate = 0;          // samples per second, as recorded
    SoundCoding coding;          // as the file held it; nothing for sound that was never coded
};

// The average bit rate of `bytes` of a file holding `frames` frames at `rate`; 0 when either is
// unknown. A file's tags and container count in, so it errs high, never low.
int AverageBitRate(std::int64_t bytes, std::int64_t frames, int rate);

}  // namespace zendrik
