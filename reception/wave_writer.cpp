#include "reception/wave_writer.h"

#include <string>

namespace zendrik {

namespace {

void Put16(std::string& out, unsigned value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}
void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

}  // namespace

bool WriteWaveStream(std::ostream& out, const std::vector<std::int16_t>& samples, int sampleRate) {
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::string head;
    head += "RIFF";
    Put32(head, 36 + dataBytes);
    head += "WAVEfmt ";
    Put32(head, 16);
    Put16(head, 1);  // integer PCM
    Put16(head, 1);  // mono
    Put32(head, static_cast<std::uint32_t>(sampleRate));
    Put32(head, static_cast<std::uint32_t>(sampleRate) * 2);
    Put16(head, 2);
    Put16(head, 16);
    head += "data";
    Put32(head, dataBytes);
    std::string body;
    body.reserve(samples.size() * 2);
    for (std::int16_t s : samples) Put16(body, static_cast<std::uint16_t>(s));
    out.write(head.data(), static_cast<std::streamsize>(head.size()));
    out.write(body.data(), static_cast<std::streamsize>(body.size()));
    return static_cast<bool>(out);
}

}  // namespace zendrik
