#include "support/wave_file_maker.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/s410_stream_builder.h"

namespace zendrik {

namespace testing_wave {

namespace {

void Put16(std::string& out, unsigned value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void PutBytes(std::string& out, const std::vector<std::uint8_t>& bytes) {
    out.append(bytes.begin(), bytes.end());
}

}  // namespace

WaveFileMaker& WaveFileMaker::Format(const FormatFields& fields, std::uint32_t size) {
    std::string body;
    Put16(body, static_cast<unsigned>(fields.formatTag));
    Put16(body, static_cast<unsigned>(fields.channels));
    Put32(body, static_cast<std::uint32_t>(fields.sampleRate));
    const unsigned align =
        static_cast<unsigned>(fields.channels * ((fields.bitsPerSample + 7) / 8));
    Put32(body, static_cast<std::uint32_t>(fields.sampleRate) * align);
    Put16(body, align);
    Put16(body, static_cast<unsigned>(fields.bitsPerSample));
    body.resize(size, '\0');
    return Chunk("fmt ", std::vector<std::uint8_t>(body.begin(), body.end()));
}

WaveFileMaker& WaveFileMaker::Data(const std::vector<std::uint8_t>& body) {
    return Chunk("data", body);
}

WaveFileMaker& WaveFileMaker::ChunkDeclaring(const std::string& id, std::uint32_t declared,
                                               const std::vector<std::uint8_t>& body) {
    m_chunks += id;
    Put32(m_chunks, declared);
    PutBytes(m_chunks, body);
    return *this;
}

WaveFileMaker& WaveFileMaker::Chunk(const std::string& id,
                                      const std::vector<std::uint8_t>& body) {
    m_chunks += id;
    Put32(m_chunks, static_cast<std::uint32_t>(body.size()));
    PutBytes(m_chunks, body);
    if (body.size() % 2) m_chunks.push_back('\0');
    return *this;
}

WaveFileMaker& WaveFileMaker::Outer(const std::string& id, const std::string& form) {
    m_id = id;
    m_form = form;
    return *this;
}

WaveFileMaker& WaveFileMaker::OuterSize(std::uint32_t size) {
    m_sizeGiven = true;
    m_size = size;
    return *this;
}

std::string WaveFileMaker::Bytes() const {
    std::string file = m_id;
    Put32(file, m_sizeGiven ? m_size : static_cast<std::uint32_t>(4 + m_chunks.size()));
    file += m_form;
    file += m_chunks;
    return file;
}

std::vector<std::uint8_t> Pcm16(const std::vector<int>& samples) {
    std::vector<std::uint8_t> bytes;
    for (int s : samples) {
        bytes.push_back(static_cast<std::uint8_t>(s & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
    }
    return bytes;
}

std::string WriteWaveBytes(const std::string& bytes, const std::string& name) {
    const std::string path = testing_streams::TempPath(name);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

bool HaveFfmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

std::string Transcoded(const std::string& input, const std::string& codec, const std::string& name) {
    const std::string path = testing_streams::TempPath(name);
    std::filesystem::remove(path);
    const std::string command = "ffmpeg -v error -y -i '" + input + "' " + codec + " '" + path + "' 2>/dev/null";
    return std::system(command.c_str()) == 0 && std::filesystem::exists(path) ? path : std::string();
}

}  // namespace testing_wave

}  // namespace zendrik
