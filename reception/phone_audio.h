// Reading the compressed recordings phones' own recorders write and libsndfile cannot: M4A and
// MP4 (AAC), 3GP (AMR or AAC), ADTS AAC, AMR, WebM and Matroska (Opus, Vorbis), CAF, through
// FFmpeg's libraries.
#pragma once

#include <cstdint>
#include <istream>

#include "reception/audio_file.h"

namespace zendrik {

// Lowest sample rate that can hold the watch's tone: it sends at about 4400 Hz, a few per cent
// either way with the watch's clock, and a rate must be twice the highest frequency it keeps.
// AMR-NB, the voice codec of many phones' recorders, works at 8000.
inline constexpr int kLowestRateForTone = 9000;

// Reads the first audio stream of the file in `in` (from its start; the stream must be seekable),
// with the container chosen by the file's first bytes (PhoneContainerByContent) and no other.
// As ReadAudioStream: of several channels the one with the most energy is kept, at the file's own
// rate; more than kMaxAudioSeconds or `maxSamples` samples is refused with a reason, and so is a
// rate below kLowestRateForTone, which no transfer can be received from.
AudioFileResult ReadPhoneAudioStream(std::istream& in, std::int64_t maxSamples = kMaxAudioSamples);

}  // namespace zendrik
