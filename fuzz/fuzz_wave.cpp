// A WAV file from any recorder, or made to hurt: chunks in any order, odd sizes, sizes that lie,
// files cut short. Read it from memory, compare with the chunk rules worked out directly on the
// bytes, then demodulate and decode what was read as the open command would.
#include <algorithm>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "decoders/families.h"
#include "fuzz_support.h"
#include "reception/demodulator.h"
#include "document/document.h"
#include "reception/wave_reader.h"

using namespace zendrik;

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
}
int Le16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }

// The chunk rules applied with direct indexing into the whole file, keeping channel `keep` of two
// (the last of fewer).
std::optional<std::vector<std::int16_t>> ReadWaveDirectly(const std::uint8_t* f, std::int64_t size,
                                                          int keep = 1) {
    if (size < 12 || std::memcmp(f, "RIFF", 4) != 0 || std::memcmp(f + 8, "WAVE", 4) != 0) return {};
    const std::int64_t end = std::min<std::int64_t>(8 + std::int64_t{Le32(f + 4)}, size);
    auto find = [&](std::int64_t at, const char* id, std::int64_t& body, std::uint32_t& length) {
        for (; at + 8 <= end; at += 8 + std::int64_t{length} + (length & 1)) {
            length = Le32(f + at + 4);
            if (std::memcmp(f + at, id, 4) == 0) {
                body = at + 8;
                return true;
            }
        }
        return false;
    };
    std::int64_t fmt = 0;
    std::uint32_t fmtSize = 0;
    if (!find(12, "fmt ", fmt, fmtSize) || fmtSize < 16 || fmt + 16 > size) return {};
    const int channels = Le16(f + fmt + 2);
    const int bits = Le16(f + fmt + 14);
    if (Le16(f + fmt) != 1 || (channels != 1 && channels != 2) || (bits != 8 && bits != 16)) return {};
    std::int64_t data = 0;
    std::uint32_t dataSize = 0;
    if (!find(fmt + fmtSize + (fmtSize & 1), "data", data, dataSize)) return {};
    const int width = bits / 8;
    const int frameSize = width * channels;
    const std::int64_t inFile = std::max<std::int64_t>(0, size - data) / frameSize;
    const std::int64_t frames = std::min<std::int64_t>(dataSize / frameSize, inFile + kMaxMissingFrames);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames), 0);
    for (std::int64_t i = 0; i < std::min(frames, inFile); ++i) {
        const std::uint8_t* p = f + data + i * frameSize + std::min(keep, channels - 1) * width;
        samples[static_cast<std::size_t>(i)] =
            width == 1 ? static_cast<std::int16_t>(p[0] - 128) : static_cast<std::int16_t>(Le16(p));
    }
    return samples;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    WaveSamples wave;
    wave.samples.reset(new std::int16_t[1]{77});
    wave.count = -7;
    const bool read = ReadWaveStream(in, wave);

    const auto expected = ReadWaveDirectly(data, static_cast<std::int64_t>(size));
    fuzzing::Require(read == expected.has_value(), "accepted exactly when the chunk rules hold");
    if (!read) {
        fuzzing::Require(wave.count == -7 && wave.samples && wave.samples[0] == 77,
                         "a rejected file leaves the samples as they were");
        return 0;
    }
    // However large the data chunk claims to be, no more than the file plus a second of silence.
    fuzzing::Require(wave.count >= 0 && wave.count <= static_cast<std::int64_t>(size) + kMaxMissingFrames,
                     "samples bounded by the file size");
    fuzzing::Require(static_cast<std::size_t>(wave.count) == expected->size() &&
                         std::equal(expected->begin(), expected->end(), wave.samples.get()),
                     "samples as the chunk rules give them");

    // The channel the second receiver reads is one of the file's, whole.
    std::istringstream again(std::string(reinterpret_cast<const char*>(data), size));
    WaveSamples chosen;
    fuzzing::Require(ReadWaveStream(again, chosen, nullptr, WaveChannel::ToneBandLoudest),
                     "a file read once is read again with its channel chosen by the tone");
    auto same = [&](const std::vector<std::int16_t>& channel) {
        return static_cast<std::size_t>(chosen.count) == channel.size() &&
               std::equal(channel.begin(), channel.end(), chosen.samples.get());
    };
    fuzzing::Require(
        same(*expected) || same(*ReadWaveDirectly(data, static_cast<std::int64_t>(size), 0)),
        "the channel chosen by the tone is one of the file's channels");

    // Demodulate and decode as the open command would, with a model chosen by the file, and
    // demodulate with the other family's bit timing too.
    const int model = 1 + static_cast<int>(size % 4);
    const int other = model == kModelCoach ? kModelS410 : kModelCoach;
    ReceivedBytes otherBytes;
    const BitTiming otherTiming = BitTimingFor(other, 44100);
    DemodulateSamples(wave.samples.get(), wave.count, DemodVariant::File, otherTiming, otherBytes);
    // Every frame takes ten bit periods and one sample more before the next can start.
    fuzzing::Require(otherBytes.GetSize() * (10 * otherTiming.period + 1) <= wave.count,
                     "no more bytes than frames fit in the samples");
    // The open command's exact pass reads the file a block at a time, twice: the same bytes.
    std::istringstream blocks(std::string(reinterpret_cast<const char*>(data), size));
    WaveSource source;
    ReceivedBytes streamed;
    fuzzing::Require(source.Open(blocks) && source.Count() == wave.count &&
                         DemodulateSource(source, DemodVariant::File, otherTiming, streamed) &&
                         streamed == otherBytes,
                     "read a block at a time, the bytes of the samples read whole");

    ReceivedBytes received;
    const BitTiming timing = BitTimingFor(model, 44100);
    DemodulateSamples(wave.samples.get(), wave.count, DemodVariant::File, timing, received);
    fuzzing::Require(received.GetSize() * (10 * timing.period + 1) <= wave.count,
                     "no more bytes than frames fit in the samples");
    Document sonic({.watchModel = model});
    sonic.DecodeBytes(std::move(received));
    fuzzing::Require(fuzzing::IsWholeCrLfLines(sonic.Hrm()) && fuzzing::IsWholeCrLfLines(sonic.Csv()),
                     "report texts are whole CR LF lines");
    return 0;
}
