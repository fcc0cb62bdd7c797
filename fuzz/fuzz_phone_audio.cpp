// Any bytes as a phone's compressed recording through FFmpeg: reading must end, stay within the
// sample limit it is given, and either give one channel at a rate or a reason.
#include <sstream>
#include <string>

#include "fuzz_support.h"
#include "reception/phone_audio.h"

using namespace zendrik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A limit small enough for the fuzzer's memory: a few bytes of a forged sample table can
    // stand for minutes of sound.
    constexpr std::int64_t kLimit = 8 << 20;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const zendrik::AudioFileResult got = zendrik::ReadPhoneAudioStream(in, kLimit);
    if (!got.ok) {
        fuzzing::Require(!got.reason.empty(), "a file not read comes with a reason");
        return 0;
    }
    fuzzing::Require(got.clip.sampleRate > 0, "a clip has a rate");
    fuzzing::Require(!got.clip.samples.empty(), "a clip read holds sound");
    fuzzing::Require(static_cast<std::int64_t>(got.clip.samples.size()) <= kLimit,
                     "no more samples than the limit");
    return 0;
}
