// The phone recording reader of a build without FFmpeg (ZENDRIK_WITH_FFMPEG=OFF, the browser's):
// M4A, 3GP, AMR and WebM recordings are refused with a reason.
#include "reception/phone_audio.h"

namespace zendrik {

AudioFileResult ReadPhoneAudioStream(std::istream&, std::int64_t) {
    return Refused("not a sound file this build reads: phones' compressed recordings need FFmpeg");
}

std::unique_ptr<DecodedSound> OpenPhoneAudioStream(std::istream&, std::string& why, std::int64_t) {
    why = "not a sound file this build reads: phones' compressed recordings need FFmpeg";
    return nullptr;
}

}  // namespace zendrik
