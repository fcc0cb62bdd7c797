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

std::unique_ptr<DecodedSound> OpenAudioStream(std::istream& in, std::string& why, std::int64_t maxSamples) {
    return OpenDecoded([&] { return std::make_unique<SndfileDecoder>(in, maxSamples); }, maxSamples, why);
}

AudioFileResult ReadAudioStream(std::istream& in, std::int64_t maxSamples) {
    std::string why;
    const std::unique_ptr<DecodedSound> sound = OpenAudioStream(in, why, maxSamples);
    return ReadWhole(sound, why);
}

}  // namespace zendrik
