// What zendrik-cli and its FFmpeg module agree on: the module's one exported function hands over
// the phone recording opener (OpenPhoneAudioStream), so the program maps FFmpeg's libraries only
// when a phone recording is read. Both sides are built together: the interface is C++ and is
// never loaded across versions.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <string>

#include "reception/audio_file.h"

namespace zendrik {

using PhoneAudioOpener = std::unique_ptr<DecodedSound> (*)(std::istream& in, std::string& why,
                                                           std::int64_t maxSamples);

inline constexpr const char* kPhoneAudioModuleFile = "zendrik-ffmpeg.so";
inline constexpr const char* kPhoneAudioModuleEntry = "zendrik_phone_audio_reader";

}  // namespace zendrik
