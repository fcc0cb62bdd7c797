// Reading the compressed recordings phones' own recorders write and libsndfile cannot: M4A and
// MP4 (AAC), 3GP (AMR or AAC), ADTS AAC, AMR, WebM and Matroska (Opus, Vorbis), CAF, through
// FFmpeg's libraries.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <string>

#include "reception/audio_file.h"

namespace zendrik {

// Reads the first audio stream of the file in `in` (from its start; the stream must be seekable),
// with the container chosen by the file's first bytes (PhoneContainerByContent) and no other.
// As ReadAudioStream: of several channels the one with the most energy in the tone's band is
// kept, at the file's own rate; more than kMaxAudioSeconds or `maxSamples` samples is refused with
// a reason. Any rate is read, AMR-NB's 8000 too: whether the tone is in the sound is the receivers'
// to find.
AudioFileResult ReadPhoneAudioStream(std::istream& in, std::int64_t maxSamples = kMaxAudioSamples);

// The same sound as a source, decoded again from the file on each pass: `in` must outlive it.
// Null, with the reason ReadPhoneAudioStream gives in `why`, when the file cannot be read. Running
// out of memory while it is read later throws std::bad_alloc, which ReceiveSource catches.
std::unique_ptr<DecodedSound> OpenPhoneAudioStream(std::istream& in, std::string& why,
                                                   std::int64_t maxSamples = kMaxAudioSamples);

}  // namespace zendrik
