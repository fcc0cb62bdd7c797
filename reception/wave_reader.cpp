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

// Frames read from the file at a time where they are not read straight into the caller's buffer.
constexpr std::int64_t kBatchFrames = 8192;

}  // namespace

bool WaveSource::Open(std::istream& in, std::string* why, WaveChannel channel) {
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

    in_ = &in;
    dataStart_ = data.dataStart;
    bytesPerSample_ = bits / 8;
    frameSize_ = bytesPerSample_ * channels;
    std::int64_t frames = data.size / frameSize_;
    // A size field can claim far more than the file holds; pad with at most a second of silence.
    const std::int64_t framesInFile = std::max<std::int64_t>(0, fileSize - data.dataStart) / frameSize_;
    frames = std::min(frames, framesInFile + kMaxMissingFrames);
    frames_ = std::min<std::int64_t>(frames, std::numeric_limits<std::int32_t>::max());
    framesInFile_ = std::min(frames_, framesInFile);
    rate_ = static_cast<std::int32_t>(std::min<std::uint32_t>(Le32(format + 4), 0x7FFFFFFF));
    keep_ = (channels == 2) ? bytesPerSample_ : 0;  // the second channel
    Rewind();
    if (channels == 2 && channel == WaveChannel::ToneBandLoudest) {
        // A pass of its own over the data, so that only the channel kept is ever held.
        zendrik::ToneBandMeter meter(channels, rate_);
        while (position_ < framesInFile_) {
            const std::int64_t batch = std::min<std::int64_t>(framesInFile_ - position_, kBatchFrames);
            const std::int64_t got = ReadFrames(batch);
            std::array<float, 512> pairs;  // 256 frames at a time, on the stack
            for (std::int64_t f = 0; f < got; f += 256) {
                const std::int64_t n = std::min<std::int64_t>(got - f, 256);
                for (std::int64_t v = 0; v < 2 * n; ++v) {
                    pairs[static_cast<std::size_t>(v)] =
                        SampleAt(buffer_.data() + (2 * f + v) * bytesPerSample_);
                }
                meter.Add(pairs.data(), n);
            }
            position_ += got;
            if (got < batch) break;  // the file ended early
        }
        keep_ = meter.Loudest() * bytesPerSample_;
        Rewind();
    }
    return true;
}

bool WaveSource::Rewind() {
    position_ = 0;
    fileEnded_ = false;
    return in_ != nullptr;
}

std::int16_t WaveSource::SampleAt(const unsigned char* p) const {
    return bytesPerSample_ == 1 ? static_cast<std::int16_t>(p[0] - 128) : static_cast<std::int16_t>(Le16(p));
}

std::int64_t WaveSource::ReadFrames(std::int64_t frames) {
    buffer_.resize(static_cast<std::size_t>(frameSize_) * kBatchFrames);
    in_->clear();
    in_->seekg(dataStart_ + position_ * frameSize_);
    in_->read(reinterpret_cast<char*>(buffer_.data()), frames * frameSize_);
    return std::max<std::streamsize>(in_->gcount(), 0) / frameSize_;
}

std::ptrdiff_t WaveSource::Read(std::int16_t* out, std::ptrdiff_t most) {
    if (!in_ || most <= 0 || position_ >= frames_) return 0;
    const std::int64_t n = std::min<std::int64_t>(most, frames_ - position_);
    const std::int64_t inFile = fileEnded_ ? 0 : std::clamp<std::int64_t>(framesInFile_ - position_, 0, n);
    std::int64_t done = 0;
    if (inFile > 0 && frameSize_ == 2 && bytesPerSample_ == 2 && std::endian::native == std::endian::little) {
        // Mono 16-bit samples are already what the caller's buffer holds: read straight into it.
        in_->clear();
        in_->seekg(dataStart_ + position_ * 2);
        in_->read(reinterpret_cast<char*>(out), inFile * 2);
        done = std::max<std::streamsize>(in_->gcount(), 0) / 2;
    } else {
        while (done < inFile) {
            const std::int64_t batch = std::min<std::int64_t>(inFile - done, kBatchFrames);
            const std::int64_t got = ReadFrames(batch);
            for (std::int64_t f = 0; f < got; ++f) out[done + f] = SampleAt(buffer_.data() + f * frameSize_ + keep_);
            done += got;
            position_ += got;
            if (got < batch) break;
        }
        position_ -= done;
    }
    if (done < inFile) fileEnded_ = true;  // the rest is 0
    std::fill(out + done, out + n, std::int16_t{0});
    position_ += n;
    return static_cast<std::ptrdiff_t>(n);
}

bool ReadWaveStream(std::istream& in, WaveSamples& out, std::string* why, WaveChannel channel) {
    WaveSource source;
    if (!source.Open(in, why, channel)) return false;
    const std::int64_t frames = source.Count();
    // Not zeroed here: the source hands out every sample, the silence past the file's end too.
    std::unique_ptr<std::int16_t[]> samples(new (std::nothrow)
                                                std::int16_t[static_cast<std::size_t>(frames)]);
    if (!samples && frames > 0) {
        if (why) why->assign(kOutOfMemoryReason);
        return false;
    }
    std::int64_t done = 0;
    while (done < frames) {
        const std::ptrdiff_t got = source.Read(samples.get() + done, static_cast<std::ptrdiff_t>(frames - done));
        if (got <= 0) break;
        done += got;
    }
    out.samples = std::move(samples);
    out.count = static_cast<std::int32_t>(frames);
    out.sampleRate = source.SampleRate();
    return true;
}

}  // namespace zendrik
