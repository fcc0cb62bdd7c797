// Makes RIFF WAVE files chunk by chunk, so tests can put chunks in any order, give them any
// size and forge the size fields that a damaged or hostile file might carry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zendrik {

namespace testing_wave {

struct FormatFields {
    int formatTag = 1;  // 1 integer PCM, 3 floating point
    int channels = 1;
    int sampleRate = 44100;
    int bitsPerSample = 16;
};

class WaveFileMaker {
public:
    // A "fmt " chunk of `size` bytes: the 16 bytes of the fields, cut short or followed by zeros.
    WaveFileMaker& Format(const FormatFields& fields, std::uint32_t size = 16);
    // A "data" chunk holding the bytes (with a pad byte when their count is odd).
    WaveFileMaker& Data(const std::vector<std::uint8_t>& body);
    // A chunk whose size field says `declared` while only `body` follows, without padding: the
    // file ends early, or carries a forged size.
    WaveFileMaker& ChunkDeclaring(const std::string& id, std::uint32_t declared,
                                   const std::vector<std::uint8_t>& body);
    // Any chunk; an odd size is followed by its pad byte.
    WaveFileMaker& Chunk(const std::string& id, const std::vector<std::uint8_t>& body);
    // The outer chunk's id and form type, "RIFF" and "WAVE" unless changed.
    WaveFileMaker& Outer(const std::string& id, const std::string& form);
    // The outer size field; by default it covers exactly the chunks added, and a smaller one
    // leaves the later chunks outside the outer chunk.
    WaveFileMaker& OuterSize(std::uint32_t size);

    std::string Bytes() const;

private:
    std::string m_id = "RIFF";
    std::string m_form = "WAVE";
    bool m_sizeGiven = false;
    std::uint32_t m_size = 0;
    std::string m_chunks;
};

// Little-endian bytes of 16-bit samples (interleave the channels yourself).
std::vector<std::uint8_t> Pcm16(const std::vector<int>& samples);

// Writes the bytes to a scratch file of the test binary and returns its path.
std::string WriteWaveBytes(const std::string& bytes, const std::string& name);

// Whether the ffmpeg command is there, to make the compressed files phones and messengers write.
bool HaveFfmpeg();

// `input` encoded by ffmpeg with `codec` (its options) into the scratch file `name`; "" when that
// failed.
std::string Transcoded(const std::string& input, const std::string& codec, const std::string& name);

}  // namespace testing_wave

}  // namespace zendrik
