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

AudioFileResult ReadOpened(SNDFILE* file, const SF_INFO& info, std::int64_t maxSamples) {
    const int channels = info.channels;
    const int rate = info.samplerate;
    if (channels <= 0 || rate <= 0) return Refused("a sound file without channels or sample rate");
    const std::int64_t maxFrames =
        std::min<std::int64_t>(kMaxAudioSeconds * rate, std::max<std::int64_t>(maxSamples, 0) / channels);
    const std::string tooLong = "longer than any recording read (more than 4 hours of sound or 2 GiB "
                                "of samples)";
    // The frame count in a header can lie in both directions: it only refuses early, and memory
    // grows with what is really read.
    if (info.frames > maxFrames) return Refused(tooLong);

    // Channels are read interleaved and kept whole until their energies are known, then the
    // loudest is moved to the front in place: a mono microphone on a stereo input, or a phone
    // whose second microphone faces away, leaves one channel nearly silent.
    std::vector<float> all;
    // Room for what the header declares, within reason: a lying header costs at most 64 MB.
    all.reserve(static_cast<std::size_t>(std::min<std::int64_t>(std::max<sf_count_t>(info.frames, 0) * channels,
                                                                std::int64_t{16} << 20)));
    std::vector<double> energy(static_cast<std::size_t>(channels), 0.0);
    constexpr sf_count_t kChunkFrames = 16384;
    std::vector<float> chunk(static_cast<std::size_t>(kChunkFrames) * static_cast<std::size_t>(channels));
    std::int64_t frames = 0;
    for (;;) {
        const sf_count_t got = sf_readf_float(file, chunk.data(), kChunkFrames);
        if (got <= 0) break;
        if (frames + got > maxFrames) return Refused(tooLong);
        const std::size_t values = static_cast<std::size_t>(got) * static_cast<std::size_t>(channels);
        for (std::size_t i = 0; i < values; ++i) {
            const float x = chunk[i];
            if (x == x) energy[i % static_cast<std::size_t>(channels)] += double{x} * x;
        }
        all.insert(all.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(values));
        frames += got;
    }
    if (sf_error(file) != SF_ERR_NO_ERROR) {
        return Refused(std::string("the sound file is damaged: ") + sf_strerror(file));
    }
    const std::size_t keep = static_cast<std::size_t>(
        std::max_element(energy.begin(), energy.end()) - energy.begin());
    for (std::int64_t f = 0; f < frames; ++f) {
        all[static_cast<std::size_t>(f)] =
            all[static_cast<std::size_t>(f) * static_cast<std::size_t>(channels) + keep];
    }
    all.resize(static_cast<std::size_t>(frames));

    AudioFileResult result;
    result.ok = true;
    result.clip.samples = std::move(all);
    result.clip.sampleRate = rate;
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
        return ReadOpened(file.get(), info, maxSamples);
    } catch (const std::bad_alloc&) {
        return Refused(kOutOfMemoryReason);
    }
}

}  // namespace zendrik
