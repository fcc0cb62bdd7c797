#include "reception/wave_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>
#include <string_view>
#include <vector>

#include "reception/input_file.h"
#include "reception/tone_band_meter.h"

namespace zendrik {

namespace {

std::uint32_t Le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
}
std::uint16_t Le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

struct Chunk {
    std::int64_t dataStart = 0;
    std::uint32_t size = 0;
};

bool ReadAt(std::istream& in, std::int64_t position, unsigned char* buffer, std::streamsize n) {
    in.clear();
    in.seekg(position);
    if (!in) return false;
    in.read(reinterpret_cast<char*>(buffer), n);
    return in.gcount() == n;
}

// Searches the chunks from `position` up to `end` (the end of the enclosing chunk) for the id.
// Chunks are word aligned: an odd size is followed by one pad byte.
bool FindChunk(std::istream& in, std::int64_t position, std::int64_t end, const char* id,
               Chunk& found) {
    unsigned char header[8];
    while (position + 8 <= end) {
        if (!ReadAt(in, position, header, 8)) return false;
        const std::uint32_t size = Le32(header + 4);
        if (std::memcmp(header, id, 4) == 0) {
            found = {position + 8, size};
            return true;
        }
        position += 8 + std::int64_t{size} + (size & 1);
    }
    return false;
}

}  // namespace

bool ReadWaveStream(std::istream& in, WaveSamples& out, std::string* why, WaveChannel channel) {
    auto reject = [why](std::string_view reason) {
        if (why) why->assign(reason);
        return false;
    };
    in.clear();
    in.seekg(0, std::ios::end);
    const std::int64_t fileSize = in.tellg();
    if (fileSize < 12) return reject("not a RIFF WAVE file (too short)");

    unsigned char riff[12];
    if (!ReadAt(in, 0, riff, 12)) return reject("not a RIFF WAVE file (too short)");
    if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
        return reject("not a RIFF WAVE file");
    }
    const std::int64_t outerEnd = std::min<std::int64_t>(8 + std::int64_t{Le32(riff + 4)}, fileSize);

    Chunk fmt;
    if (!FindChunk(in, 12, outerEnd, "fmt ", fmt) || fmt.size < 16) {
        return reject("a WAV file without its format chunk");
    }
    unsigned char format[16];
    if (!ReadAt(in, fmt.dataStart, format, 16)) return reject("a WAV file without its format chunk");
    const int tag = Le16(format);
    const int channels = Le16(format + 2);
    const int bits = Le16(format + 14);
    // Integer PCM only; wider samples or more channels are not recordings a sound card makes of
    // a watch.
    if (tag != 1 || (bits != 8 && bits != 16)) {
        if (!why) return false;
        return reject("not a PCM WAV: " + std::to_string(bits) + "-bit, format tag " +
                      std::to_string(tag) + " (8- or 16-bit integer PCM is read)");
    }
    if (channels != 1 && channels != 2) {
        if (!why) return false;
        return reject("a WAV file of " + std::to_string(channels) + " channels (one or two are read)");
    }

    Chunk data;
    const std::int64_t afterFmt = fmt.dataStart + fmt.size + (fmt.size & 1);
    if (!FindChunk(in, afterFmt, outerEnd, "data", data)) return reject("a WAV file without sound data");

    const int bytesPerSample = bits / 8;
    const int frameSize = bytesPerSample * channels;
    std::int64_t frames = data.size / frameSize;
    // A size field can claim far more than the file holds; pad with at most a second of silence.
    const std::int64_t framesInFile = std::max<std::int64_t>(0, fileSize - data.dataStart) / frameSize;
    frames = std::min(frames, framesInFile + kMaxMissingFrames);
    frames = std::min<std::int64_t>(frames, std::numeric_limits<std::int32_t>::max());

    // Not zeroed here: every sample is either read or, past what the file holds, zeroed below.
    std::unique_ptr<std::int16_t[]> samples(new (std::nothrow)
                                                std::int16_t[static_cast<std::size_t>(frames)]);
    if (!samples && frames > 0) return reject(kOutOfMemoryReason);

    const std::int64_t framesToRead = std::min(frames, framesInFile);
    const std::int32_t rate =
        static_cast<std::int32_t>(std::min<std::uint32_t>(Le32(format + 4), 0x7FFFFFFF));
    auto sampleAt = [bytesPerSample](const unsigned char* p) {
        return bytesPerSample == 1 ? static_cast<std::int16_t>(p[0] - 128)
                                   : static_cast<std::int16_t>(Le16(p));
    };
    // Walks the frames the file holds in batches from the start of the data, handing each batch
    // to `use`; returns the frames read, fewer than asked when the file ends early.
    std::vector<unsigned char> buffer;
    auto forEachBatch = [&](std::int64_t from, auto use) {
        in.clear();
        in.seekg(data.dataStart + from * frameSize);
        buffer.resize(static_cast<std::size_t>(frameSize) * 8192);
        std::int64_t done = from;
        while (done < framesToRead) {
            const std::int64_t batch = std::min<std::int64_t>(framesToRead - done, 8192);
            in.read(reinterpret_cast<char*>(buffer.data()), batch * frameSize);
            const std::int64_t got = in.gcount() / frameSize;
            use(done, got);
            done += got;
            if (got < batch) break;  // the file ended early: the rest is 0
        }
        return done;
    };

    std::int64_t keep = (channels == 2) ? bytesPerSample : 0;  // offset of the second channel
    if (channels == 2 && channel == WaveChannel::ToneBandLoudest) {
        // A pass of its own over the data, so that only the channel kept is ever held.
        zendrik::ToneBandMeter meter(channels, rate);
        forEachBatch(0, [&](std::int64_t, std::int64_t got) {
            std::array<float, 512> pairs;  // 256 frames at a time, on the stack
            for (std::int64_t f = 0; f < got; f += 256) {
                const std::int64_t n = std::min<std::int64_t>(got - f, 256);
                for (std::int64_t v = 0; v < 2 * n; ++v) {
                    pairs[static_cast<std::size_t>(v)] =
                        sampleAt(buffer.data() + (2 * f + v) * bytesPerSample);
                }
                meter.Add(pairs.data(), n);
            }
        });
        keep = meter.Loudest() * bytesPerSample;
    }

    std::int64_t done = 0;
    if (bytesPerSample == 2 && channels == 1 && std::endian::native == std::endian::little) {
        // Mono 16-bit samples are already what the buffer holds: read straight into it.
        in.clear();
        in.seekg(data.dataStart);
        in.read(reinterpret_cast<char*>(samples.get()), framesToRead * 2);
        done = std::max<std::streamsize>(in.gcount(), 0) / 2;
    }
    if (done < framesToRead) {
        done = forEachBatch(done, [&](std::int64_t at, std::int64_t got) {
            for (std::int64_t f = 0; f < got; ++f) {
                samples[static_cast<std::size_t>(at + f)] =
                    sampleAt(buffer.data() + f * frameSize + keep);
            }
        });
    }
    std::fill(samples.get() + done, samples.get() + frames, std::int16_t{0});

    out.samples = std::move(samples);
    out.count = static_cast<std::int32_t>(frames);
    out.sampleRate = rate;
    return true;
}

}  // namespace zendrik
