// Any bytes as a sound file through libsndfile: reading must end, stay within the sample limit
// it is given, and either give one channel at a positive rate or a reason.
#include <memory>
#include <sstream>
#include <string>

#include "reader_checks.h"
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
    // As a source read in passes: the same reason, or the same samples on every pass.
    std::istringstream again(in.str());
    std::string why;
    const std::unique_ptr<zendrik::DecodedSound> sound = zendrik::OpenAudioStream(again, why, kLimit);
    if (!fuzzing::CheckReaderAndSource(got, sound.get(), why, kLimit)) return 0;
    return 0;
}
