// Reading the sound of a RIFF WAVE recording: integer PCM, 8 or 16 bits, one or two channels.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "reception/sample_source.h"

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

// The same recording read a block at a time, so that no more than a block of it is held: the
// exact receiver makes its passes over a long file this way.
class WaveSource : public zendrik::SampleSource {
public:
    // Reads the header of the recording in `in` (positioned at its start), which must stay alive
    // while this reads it; for `channel` ToneBandLoudest, also a pass over the data to choose the
    // channel. False, with `why` as ReadWaveStream gives it, when the input is not such a
    // recording.
    bool Open(std::istream& in, std::string* why = nullptr, WaveChannel channel = WaveChannel::Second);

    // The frames the recording holds, the silence standing in for missing ones included.
    std::int64_t Count() const { return frames_; }
    int SampleRate() const override { return rate_; }
    bool Rewind() override;
    std::ptrdiff_t Read(std::int16_t* out, std::ptrdiff_t most) override;

private:
    // Reads up to `frames` frames from the position into the buffer; how many the file held.
    std::int64_t ReadFrames(std::int64_t frames);
    std::int16_t SampleAt(const unsigned char* p) const;

    std::istream* in_ = nullptr;
    std::int64_t dataStart_ = 0;
    int bytesPerSample_ = 2;
    int frameSize_ = 2;
    std::int64_t keep_ = 0;          // offset of the channel kept within a frame
    std::int64_t frames_ = 0;        // all of them, silence included
    std::int64_t framesInFile_ = 0;  // of those, the ones the file holds
    std::int64_t position_ = 0;      // frames handed out since the start
    bool fileEnded_ = false;         // the file held fewer bytes than it said: the rest is 0
    std::int32_t rate_ = 44100;
    std::vector<unsigned char> buffer_;
};

}  // namespace zendrik
