// Any bytes as a sound file through libsndfile: reading must end, stay within the sample limit
// it is given, and either give one channel at a positive rate or a reason.
#include <sstream>
#include <string>

#include "fuzz_support.h"
#include "reception/audio_file.h"

using namespace zendrik;

// libsndfile 1.2.0 leaks libvorbis's stream info (about 6 KB) when a damaged Ogg Vorbis header
// makes it give up; a fault of the library, bounded per file read, not of this program.
extern "C" const char* __lsan_default_suppressions() { return "leak:vorbis_info_init\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A limit small enough for the fuzzer's memory: a few bytes of FLAC or MP3 can stand for
    // minutes of sound.
    constexpr std::int64_t kLimit = 8 << 20;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const zendrik::AudioFileResult got = zendrik::ReadAudioStream(in, kLimit);
    if (!got.ok) {
        fuzzing::Require(!got.reason.empty(), "a file not read comes with a reason");
        return 0;
    }
    fuzzing::Require(got.clip.sampleRate > 0, "a clip has a rate");
    fuzzing::Require(static_cast<std::int64_t>(got.clip.samples.size()) <= kLimit,
                     "no more samples than the limit");
    return 0;
}
