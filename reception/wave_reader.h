// Reading the sound of a RIFF WAVE recording: integer PCM, 8 or 16 bits, one or two channels.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <string>

namespace zendrik {

// One channel of a recording, one 16-bit value per sample frame.
struct WaveSamples {
    std::unique_ptr<std::int16_t[]> samples;
    std::int32_t count = 0;
    std::int32_t sampleRate = 44100;  // as the format chunk gives it
};

// Longest stretch of silence that stands in for frames a data chunk declares but the file lacks:
// one second at the rate the demodulator assumes.
inline constexpr std::int64_t kMaxMissingFrames = 44100;

// Which channel of a two-channel recording is kept.
enum class WaveChannel {
    Second,           // as the exact receiver has always read them
    ToneBandLoudest,  // the one with the most energy in the watch tone's band, found by a pass
                      // over the data of its own, so that only one channel is ever held
};

// Reads the recording in `in` (positioned at its start). Of two channels the one `channel` says
// is kept; 8-bit samples are centred on 0 without scaling. Frames the data chunk declares beyond
// the end of the input are 0, up to kMaxMissingFrames of them. Returns false when the input is
// not such a recording; `out` is then untouched, and `why` (when given) says what the input is
// instead.
bool ReadWaveStream(std::istream& in, WaveSamples& out, std::string* why = nullptr,
                    WaveChannel channel = WaveChannel::Second);

}  // namespace zendrik
