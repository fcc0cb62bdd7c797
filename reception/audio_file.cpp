#include "reception/audio_file.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <iterator>
#include <optional>
#include <memory>
#include <new>
#include <vector>

#include "reception/input_file.h"
#include "reception/stream_source.h"
#include "reception/tone_band_meter.h"

namespace zendrik {

namespace {

// libsndfile reads the stream through these.
sf_count_t SourceLength(void* user) { return static_cast<StreamSource*>(user)->Size(); }

sf_count_t SourceSeek(sf_count_t offset, int whence, void* user) {
    return static_cast<StreamSource*>(user)->Seek(offset, whence);
}

sf_count_t SourceRead(void* buffer, sf_count_t count, void* user) {
    return static_cast<StreamSource*>(user)->Read(buffer, count);
}

sf_count_t SourceWrite(const void*, sf_count_t, void*) { return 0; }

sf_count_t SourceTell(void* user) { return static_cast<StreamSource*>(user)->Position(); }

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

// The lossy codecs libsndfile decodes, by their names; "" for PCM, FLAC and the like.
const char* LossyCodecName(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_VORBIS: return "Vorbis";
        case SF_FORMAT_OPUS: return "Opus";
        case SF_FORMAT_MPEG_LAYER_I: return "MP1";
        case SF_FORMAT_MPEG_LAYER_II: return "MP2";
        case SF_FORMAT_MPEG_LAYER_III: return "MP3";
        default: return "";
    }
}

class SndfileDecoder : public InterleavedDecoder {
public:
    SndfileDecoder(std::istream& in, std::int64_t maxSamples) : in_(in), maxSamples_(maxSamples) {}

    std::string Restart() override {
        file_.reset();
        if (!attached_) {
            if (!source_.Attach(in_)) return "the sound file cannot be read";
            attached_ = true;
        } else if (source_.Seek(0, SEEK_SET) != 0) {
            return "the sound file cannot be read";
        }
        info_ = SF_INFO{};
        file_.reset(sf_open_virtual(&io_, SFM_READ, &info_, &source_));
        if (!file_) return std::string("not a sound file that can be read: ") + sf_strerror(nullptr);
        if (info_.channels <= 0 || info_.samplerate <= 0) return "a sound file without channels or sample rate";
        // The frame count in a header can lie in both directions: it only refuses early, and
        // what is really read is held to the limits as it comes.
        if (info_.frames > MaxAudioFrames(info_.channels, info_.samplerate, maxSamples_)) return kTooLongReason;
        return {};
    }

    std::int64_t Next(std::vector<float>& out, std::string& why) override {
        constexpr sf_count_t kChunkFrames = 16384;
        out.resize(static_cast<std::size_t>(kChunkFrames) * static_cast<std::size_t>(info_.channels));
        const sf_count_t got = sf_readf_float(file_.get(), out.data(), kChunkFrames);
        if (got > 0) return got;
        if (sf_error(file_.get()) != SF_ERR_NO_ERROR) {
            why = std::string("the sound file is damaged: ") + sf_strerror(file_.get());
            return -1;
        }
        return 0;
    }

    int Channels() const override { return info_.channels; }
    int Rate() const override { return info_.samplerate; }

    SoundCoding CodingFor(std::int64_t frames) const override {
        SoundCoding coding;
        coding.lossyCodec = LossyCodecName(info_.format);
        // libsndfile does not tell a codec's bit rate; the file's size over its length does.
        if (!coding.lossyCodec.empty()) coding.bitsPerSecond = AverageBitRate(source_.Size(), frames, info_.samplerate);
        return coding;
    }

private:
    std::istream& in_;
    std::int64_t maxSamples_;
    bool attached_ = false;
    StreamSource source_;
    SF_VIRTUAL_IO io_{SourceLength, SourceSeek, SourceRead, SourceWrite, SourceTell};
    SF_INFO info_{};
    std::unique_ptr<SNDFILE, SndfileCloser> file_;
};

}  // namespace

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

std::ptrdiff_t DecodedSound::ReadFloats(float* out, std::ptrdiff_t most) {
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
            out[done + i] = block_[(blockAt_ + static_cast<std::size_t>(i)) * channels + static_cast<std::size_t>(keep_)];
        }
        blockAt_ += static_cast<std::size_t>(take);
        position_ += take;
        done += static_cast<std::ptrdiff_t>(take);
    }
    return done;
}

std::ptrdiff_t DecodedSound::Read(std::int16_t* out, std::ptrdiff_t most) {
    float block[4096];
    const std::ptrdiff_t got = ReadFloats(block, std::min<std::ptrdiff_t>(most, std::ssize(block)));
    for (std::ptrdiff_t i = 0; i < got; ++i) {
        const float x = std::isnan(block[i]) ? 0.0f : std::clamp(block[i] * 32768.0f, -32768.0f, 32767.0f);
        out[i] = static_cast<std::int16_t>(std::lrint(x));
    }
    return got;
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

AudioFileResult ReadWhole(DecodedSound& sound) {
    AudioFileResult result;
    result.clip.sampleRate = sound.SampleRate();
    result.clip.coding = sound.Coding();
    result.clip.samples.resize(static_cast<std::size_t>(sound.Frames()));
    std::ptrdiff_t done = 0;
    for (std::ptrdiff_t got; done < sound.Frames() &&
                             (got = sound.ReadFloats(result.clip.samples.data() + done, sound.Frames() - done)) > 0;) {
        done += got;
    }
    // A file that decodes differently the second time is not read on a guess.
    if (done < sound.Frames()) return Refused("the sound file cannot be read");
    result.ok = true;
    return result;
}

std::unique_ptr<DecodedSound> OpenAudioStream(std::istream& in, std::string& why, std::int64_t maxSamples) {
    return OpenDecoded([&] { return std::make_unique<SndfileDecoder>(in, maxSamples); }, maxSamples, why);
}

AudioFileResult ReadAudioStream(std::istream& in, std::int64_t maxSamples) {
    try {
        std::string why;
        const std::unique_ptr<DecodedSound> sound = OpenAudioStream(in, why, maxSamples);
        return sound ? ReadWhole(*sound) : Refused(why);
    } catch (const std::bad_alloc&) {
        return Refused(kOutOfMemoryReason);
    }
}

}  // namespace zendrik
