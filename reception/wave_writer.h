// Writing a 16-bit mono RIFF WAVE recording.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

namespace zendrik {

// Writes the samples as a PCM WAV file at the given rate; false when the stream failed.
bool WriteWaveStream(std::ostream& out, const std::vector<std::int16_t>& samples, int sampleRate);

}  // namespace zendrik
