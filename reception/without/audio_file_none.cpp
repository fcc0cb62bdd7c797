// The sound file reader of a build without libsndfile (ZENDRIK_WITH_SNDFILE=OFF, the browser's):
// WAV files are read by the core's own reader; anything else is refused with a reason.
#include "reception/audio_file.h"

namespace zendrik {

AudioFileResult ReadAudioStream(std::istream&, std::int64_t) {
    return Refused("not a sound file this build reads: it reads WAV recordings and dumps only");
}

std::unique_ptr<DecodedSound> OpenAudioStream(std::istream&, std::string& why, std::int64_t) {
    why = "not a sound file this build reads: it reads WAV recordings and dumps only";
    return nullptr;
}

}  // namespace zendrik
