// Reading the sound files recorders and phones write (WAV of any integer or float sample width,
// WAVE_FORMAT_EXTENSIBLE, FLAC, Ogg/Vorbis, Opus, MP3, ...) into one channel of samples, through
// libsndfile.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "reception/audio_clip.h"
#include "reception/sample_source.h"

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

// The most frames of `channels` channels at `rate` that a recording may hold.
std::int64_t MaxAudioFrames(int channels, int rate, std::int64_t maxSamples);

// A reader's decoding of a file, pulled a block at a time with all channels interleaved.
class InterleavedDecoder {
public:
    virtual ~InterleavedDecoder() = default;

    // To the first frame, the first time too: "" or why the file cannot be read. Each start
    // decodes the file afresh, so every pass hands over the same sound.
    virtual std::string Restart() = 0;
    // The next frames into `out` (Channels() values each); how many, 0 at the end, -1 when the
    // file cannot be read on, with the reason in `why`.
    virtual std::int64_t Next(std::vector<float>& out, std::string& why) = 0;
    // Known once a frame has come; the same for every frame.
    virtual int Channels() const = 0;
    virtual int Rate() const = 0;
    // How the file stored its sound, given the frames it held.
    virtual SoundCoding CodingFor(std::int64_t frames) const = 0;
    // Why a file that holds no frame is refused; "" when it is read as empty sound.
    virtual std::string EmptyReason() const { return {}; }
};

// A decoded file as a source of one channel: the one loudest in the tone's band, which a first
// pass over the whole file finds (a mono microphone on a stereo input, or a phone whose second
// microphone faces away, leaves one channel nearly silent, and one channel may hold hum louder
// than the watch). That pass also holds the file to kMaxAudioSeconds and `maxSamples` samples of
// all channels, and gives the reasons a reading is refused with; only a block of frames is
// held at a time.
class DecodedSound : public SampleSource {
public:
    DecodedSound(std::unique_ptr<InterleavedDecoder> decoder, std::int64_t maxSamples);

    // The first pass: "" when the sound can be read, else why not.
    std::string Open();
    std::int64_t Frames() const { return frames_; }

    int SampleRate() const override { return rate_; }
    bool Rewind() override;
    std::ptrdiff_t Read(std::int16_t* out, std::ptrdiff_t most) override;
    std::ptrdiff_t ReadFloats(float* out, std::ptrdiff_t most) override;
    SoundCoding Coding() const override { return coding_; }

private:
    // Up to `most` samples of the kept channel, each through `convert`.
    template <typename Sample, typename Convert>
    std::ptrdiff_t ReadKept(Sample* out, std::ptrdiff_t most, Convert convert);

    std::unique_ptr<InterleavedDecoder> decoder_;
    std::int64_t maxSamples_;
    std::int64_t frames_ = 0;    // in the file, as the first pass found
    std::int64_t position_ = 0;  // frames handed over in this pass
    int keep_ = 0;               // the channel handed over
    int channels_ = 0;           // as the first pass found them
    int rate_ = 0;
    SoundCoding coding_;
    std::vector<float> block_;   // decoded, not yet handed over from `blockAt_` on
    std::size_t blockAt_ = 0;
    std::int64_t blockFrames_ = 0;
};

// The sound of the decoder `decoder` makes, opened as a source; null, with the reason in `why`,
// when it cannot be read, for want of memory too.
std::unique_ptr<DecodedSound> OpenDecoded(const std::function<std::unique_ptr<InterleavedDecoder>()>& decoder,
                                          std::int64_t maxSamples, std::string& why);

// The whole of a sound a reader opened, as a clip; refused for `why` when it opened none.
AudioFileResult ReadWhole(const std::unique_ptr<DecodedSound>& sound, const std::string& why);

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

// The same sound as a source, read again from the file on each pass: `in` must outlive it.
// Null, with the reason ReadAudioStream gives in `why`, when the file cannot be read. Running out
// of memory while it is read later throws std::bad_alloc, which ReceiveSource catches.
std::unique_ptr<DecodedSound> OpenAudioStream(std::istream& in, std::string& why,
                                              std::int64_t maxSamples = kMaxAudioSamples);

}  // namespace zendrik
