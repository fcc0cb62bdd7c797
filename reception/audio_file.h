// Reading the sound files recorders and phones write (WAV of any integer or float sample width,
// WAVE_FORMAT_EXTENSIBLE, FLAC, Ogg/Vorbis, Opus, MP3, ...) into one channel of samples, through
// libsndfile.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <utility>
#include <vector>

#include "reception/audio_clip.h"
#include "reception/tone_band_meter.h"

namespace zendrik {

// Longest recording read: a watch transfer lasts minutes at most, so four hours is far more than
// anyone records of one, and it keeps memory bounded.
inline constexpr std::int64_t kMaxAudioSeconds = 4 * 60 * 60;
// Most samples (all channels counted) held while reading: 2 GiB of them.
inline constexpr std::int64_t kMaxAudioSamples = (std::int64_t{2} << 30) / sizeof(float);

struct AudioFileResult {
    bool ok = false;
    AudioClip clip;      // when ok: the channel loudest in the tone's band, at the file's own rate
    std::string reason;  // when not ok: why, in words
};

// What a recording over those limits is refused with.
inline constexpr const char* kTooLongReason =
    "longer than any recording read (more than 4 hours of sound or 2 GiB of samples)";

// A reader's sound, all channels interleaved as decoded and kept whole until their energies in
// the tone's band are known; then the loudest there is kept: a mono microphone on a stereo
// input, or a phone whose second microphone faces away, leaves one channel nearly silent, and
// one channel may hold hum louder than the watch.
class ChannelCollector {
public:
    // For sound of `channels` channels at `rate` (both positive), within kMaxAudioSeconds and
    // `maxSamples` samples of all channels.
    ChannelCollector(int channels, int rate, std::int64_t maxSamples);

    // Whether that many frames in all stay within the limits.
    bool Fits(std::int64_t frames) const { return frames <= maxFrames_; }
    // Room for `frames` frames to come, within reason: a header's count can lie.
    void Reserve(std::int64_t frames);
    // Adds `frames` interleaved frames; false (nothing added) when they pass the limits.
    bool Append(const float* interleaved, std::int64_t frames);
    std::int64_t Frames() const { return frames_; }
    // The channel loudest in the tone's band, at the sound's rate; the collector is left empty.
    AudioClip LoudestChannel() &&;

private:
    int channels_;
    int rate_;
    std::int64_t maxFrames_;
    std::int64_t frames_ = 0;
    std::vector<float> all_;
    ToneBandMeter toneBand_;
};

// A failed reading, with its reason.
inline AudioFileResult Refused(std::string reason) {
    AudioFileResult result;
    result.reason = std::move(reason);
    return result;
}

// Reads the sound file in `in` (from its start; the stream must be seekable). Of several
// channels the one with the most energy in the tone's band is kept. A file longer than
// kMaxAudioSeconds or with more than `maxSamples` samples is refused with a reason.
AudioFileResult ReadAudioStream(std::istream& in, std::int64_t maxSamples = kMaxAudioSamples);

}  // namespace zendrik
