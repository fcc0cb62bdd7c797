// Reading the sound files recorders and phones write (WAV of any integer or float sample width,
// WAVE_FORMAT_EXTENSIBLE, FLAC, Ogg/Vorbis, Opus, MP3, ...) into one channel of samples, through
// libsndfile.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <utility>

#include "reception/audio_clip.h"

namespace zendrik {

// Longest recording read: a watch transfer lasts minutes at most, so four hours is far more than
// anyone records of one, and it keeps memory bounded.
inline constexpr std::int64_t kMaxAudioSeconds = 4 * 60 * 60;
// Most samples (all channels counted) held while reading: 2 GiB of them.
inline constexpr std::int64_t kMaxAudioSamples = (std::int64_t{2} << 30) / sizeof(float);

struct AudioFileResult {
    bool ok = false;
    AudioClip clip;      // when ok: the loudest channel at the file's own rate
    std::string reason;  // when not ok: why, in words
};

// A failed reading, with its reason.
inline AudioFileResult Refused(std::string reason) {
    AudioFileResult result;
    result.reason = std::move(reason);
    return result;
}

// Reads the sound file in `in` (from its start; the stream must be seekable). Of several
// channels the one with the most energy is kept. A file longer than kMaxAudioSeconds or with
// more than `maxSamples` samples is refused with a reason.
AudioFileResult ReadAudioStream(std::istream& in, std::int64_t maxSamples = kMaxAudioSamples);

}  // namespace zendrik
