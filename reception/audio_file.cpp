#include "reception/audio_file.h"

#include <sndfile.h>

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "reception/input_file.h"
#include "reception/stream_source.h"

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

AudioFileResult ReadOpened(SNDFILE* file, const SF_INFO& info, std::int64_t fileBytes,
                           std::int64_t maxSamples) {
    const int channels = info.channels;
    const int rate = info.samplerate;
    if (channels <= 0 || rate <= 0) return Refused("a sound file without channels or sample rate");
    ChannelCollector sound(channels, rate, maxSamples);
    // The frame count in a header can lie in both directions: it only refuses early, and memory
    // grows with what is really read.
    if (!sound.Fits(info.frames)) return Refused(kTooLongReason);
    sound.Reserve(info.frames);
    constexpr sf_count_t kChunkFrames = 16384;
    std::vector<float> chunk(static_cast<std::size_t>(kChunkFrames) * static_cast<std::size_t>(channels));
    for (;;) {
        const sf_count_t got = sf_readf_float(file, chunk.data(), kChunkFrames);
        if (got <= 0) break;
        if (!sound.Append(chunk.data(), got)) return Refused(kTooLongReason);
    }
    if (sf_error(file) != SF_ERR_NO_ERROR) {
        return Refused(std::string("the sound file is damaged: ") + sf_strerror(file));
    }
    AudioFileResult result;
    result.ok = true;
    const std::int64_t frames = sound.Frames();
    result.clip = std::move(sound).LoudestChannel();
    result.clip.coding.lossyCodec = LossyCodecName(info.format);
    if (!result.clip.coding.lossyCodec.empty()) {
        // libsndfile does not tell a codec's bit rate; the file's size over its length does.
        result.clip.coding.bitsPerSecond = AverageBitRate(fileBytes, frames, rate);
    }
    return result;
}

}  // namespace

AudioFileResult ReadAudioStream(std::istream& in, std::int64_t maxSamples) {
    try {
        StreamSource source;
        if (!source.Attach(in)) return Refused("the sound file cannot be read");
        SF_VIRTUAL_IO io{SourceLength, SourceSeek, SourceRead, SourceWrite, SourceTell};
        SF_INFO info{};
        std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open_virtual(&io, SFM_READ, &info, &source));
        if (!file) {
            return Refused(std::string("not a sound file that can be read: ") + sf_strerror(nullptr));
        }
        return ReadOpened(file.get(), info, source.Size(), maxSamples);
    } catch (const std::bad_alloc&) {
        return Refused(kOutOfMemoryReason);
    }
}

}  // namespace zendrik
