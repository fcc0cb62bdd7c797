// What every reader of compressed or foreign sound files shares, whichever library decodes them:
// a decoded file read in passes (the first finds its length and the channel loudest in the
// tone's band, each later one hands over that channel), the limits on its length, and a coding's
// bit rate.
#include <algorithm>
#include <cmath>
#include <new>
#include <optional>
#include <vector>

#include "reception/audio_file.h"
#include "reception/input_file.h"
#include "reception/tone_band_meter.h"

namespace zendrik {

int AverageBitRate(std::int64_t bytes, std::int64_t frames, int rate) {
    if (bytes <= 0 || frames <= 0 || rate <= 0) return 0;
    const double bits = 8.0 * static_cast<double>(bytes) * rate / static_cast<double>(frames);
    return bits < 2e9 ? static_cast<int>(bits) : 0;
}

std::int64_t MaxAudioFrames(int channels, int rate, std::int64_t maxSamples) {
    if (channels <= 0 || rate <= 0) return 0;
    return std::min<std::int64_t>(kMaxAudioSeconds * rate, std::max<std::int64_t>(maxSamples, 0) / channels);
}

DecodedSound::DecodedSound(std::unique_ptr<InterleavedDecoder> decoder, std::int64_t maxSamples)
    : decoder_(std::move(decoder)), maxSamples_(maxSamples) {}

std::string DecodedSound::Open() {
    std::string why = decoder_->Restart();
    if (!why.empty()) return why;
    std::optional<ToneBandMeter> toneBand;
    std::int64_t maxFrames = 0;
    frames_ = 0;
    for (;;) {
        const std::int64_t got = decoder_->Next(block_, why);
        if (got < 0) return why;
        if (got == 0) break;
        if (!toneBand) {
            toneBand.emplace(decoder_->Channels(), decoder_->Rate());
            maxFrames = MaxAudioFrames(decoder_->Channels(), decoder_->Rate(), maxSamples_);
        }
        if (frames_ + got > maxFrames) return kTooLongReason;
        // One channel is the one kept whatever its energy.
        if (decoder_->Channels() > 1) toneBand->Add(block_.data(), got);
        frames_ += got;
    }
    if (frames_ == 0) {
        why = decoder_->EmptyReason();
        if (!why.empty()) return why;
    }
    keep_ = toneBand ? toneBand->Loudest() : 0;
    channels_ = decoder_->Channels();
    rate_ = decoder_->Rate();
    coding_ = decoder_->CodingFor(frames_);
    return Rewind() ? std::string() : std::string("the sound file cannot be read");
}

bool DecodedSound::Rewind() {
    position_ = 0;
    blockAt_ = 0;
    blockFrames_ = 0;
    return decoder_->Restart().empty();
}

template <typename Sample, typename Convert>
std::ptrdiff_t DecodedSound::ReadKept(Sample* out, std::ptrdiff_t most, Convert convert) {
    std::ptrdiff_t done = 0;
    // No more than the first pass found: a later pass hands over the same sound or less.
    while (done < most && position_ < frames_) {
        if (static_cast<std::int64_t>(blockAt_) >= blockFrames_) {
            std::string why;
            blockFrames_ = decoder_->Next(block_, why);
            blockAt_ = 0;
            if (blockFrames_ <= 0 || decoder_->Channels() != channels_) break;
        }
        const std::int64_t take =
            std::min({static_cast<std::int64_t>(most - done), blockFrames_ - static_cast<std::int64_t>(blockAt_),
                      frames_ - position_});
        const std::size_t channels = static_cast<std::size_t>(channels_);
        for (std::int64_t i = 0; i < take; ++i) {
            out[done + i] = convert(block_[(blockAt_ + static_cast<std::size_t>(i)) * channels + static_cast<std::size_t>(keep_)]);
        }
        blockAt_ += static_cast<std::size_t>(take);
        position_ += take;
        done += static_cast<std::ptrdiff_t>(take);
    }
    return done;
}

std::ptrdiff_t DecodedSound::ReadFloats(float* out, std::ptrdiff_t most) {
    return ReadKept(out, most, [](float x) { return x; });
}

std::ptrdiff_t DecodedSound::Read(std::int16_t* out, std::ptrdiff_t most) {
    return ReadKept(out, most, SampleOf);
}

std::unique_ptr<DecodedSound> OpenDecoded(const std::function<std::unique_ptr<InterleavedDecoder>()>& decoder,
                                          std::int64_t maxSamples, std::string& why) {
    // Running out of memory while opening is a reason like the others; later, while reading,
    // it is thrown as std::bad_alloc for the receiver to catch.
    try {
        auto sound = std::make_unique<DecodedSound>(decoder(), maxSamples);
        why = sound->Open();
        if (why.empty()) return sound;
    } catch (const std::bad_alloc&) {
        why = kOutOfMemoryReason;
    }
    return nullptr;
}

AudioFileResult ReadWhole(const std::unique_ptr<DecodedSound>& sound, const std::string& why) {
    if (!sound) return Refused(why);
    try {
        AudioFileResult result;
        result.clip.sampleRate = sound->SampleRate();
        result.clip.coding = sound->Coding();
        result.clip.samples.resize(static_cast<std::size_t>(sound->Frames()));
        std::ptrdiff_t done = 0;
        for (std::ptrdiff_t got; done < sound->Frames() &&
                                 (got = sound->ReadFloats(result.clip.samples.data() + done, sound->Frames() - done)) > 0;) {
            done += got;
        }
        // A file that decodes differently the second time is not read on a guess.
        if (done < sound->Frames()) return Refused("the sound file cannot be read");
        result.ok = true;
        return result;
    } catch (const std::bad_alloc&) {
        return Refused(kOutOfMemoryReason);
    }
}

}  // namespace zendrik
