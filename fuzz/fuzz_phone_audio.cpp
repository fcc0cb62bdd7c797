// Any bytes as a phone's compressed recording through FFmpeg: reading must end, stay within the
// sample limit it is given, and either give one channel at a rate or a reason.
#include <memory>
#include <sstream>
#include <string>

#include "reader_checks.h"
#include "reception/phone_audio.h"

using namespace zendrik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A limit small enough for the fuzzer's memory: a few bytes of a forged sample table can
    // stand for minutes of sound.
    constexpr std::int64_t kLimit = 8 << 20;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const zendrik::AudioFileResult got = zendrik::ReadPhoneAudioStream(in, kLimit);
    // As a source read in passes: the same reason, or the same samples on every pass.
    std::istringstream again(in.str());
    std::string why;
    const std::unique_ptr<zendrik::DecodedSound> sound = zendrik::OpenPhoneAudioStream(again, why, kLimit);
    if (!fuzzing::CheckReaderAndSource(got, sound.get(), why, kLimit)) return 0;
    fuzzing::Require(!got.clip.samples.empty(), "a clip read holds sound");
    return 0;
}
