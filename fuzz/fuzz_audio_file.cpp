// Any bytes as a sound file through libsndfile: reading must end, stay within the sample limit
// it is given, and either give one channel at a positive rate or a reason.
#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

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
    // As a source read in passes: the same reason, or the same samples on every pass.
    std::istringstream again(in.str());
    std::string why;
    const std::unique_ptr<zendrik::DecodedSound> sound = zendrik::OpenAudioStream(again, why, kLimit);
    fuzzing::Require(!sound == !got.ok && why == got.reason, "the source is refused as the reading is");
    if (!got.ok) {
        fuzzing::Require(!got.reason.empty(), "a file not read comes with a reason");
        return 0;
    }
    for (int pass = 0; pass < 2; ++pass) {
        // Room for one more sample than the reading gave, to see that no pass gives more.
        std::vector<float> samples(got.clip.samples.size() + 1);
        std::size_t at = 0;
        for (std::ptrdiff_t n; at < samples.size() &&
                               (n = sound->ReadFloats(samples.data() + at,
                                                      std::min<std::ptrdiff_t>(1000, static_cast<std::ptrdiff_t>(samples.size() - at)))) > 0;) {
            at += static_cast<std::size_t>(n);
        }
        samples.resize(at);
        fuzzing::Require(samples == got.clip.samples && sound->SampleRate() == got.clip.sampleRate,
                         "each pass hands over the samples read whole");
        fuzzing::Require(sound->Rewind(), "a source read once can be read again");
    }
    fuzzing::Require(got.clip.sampleRate > 0, "a clip has a rate");
    fuzzing::Require(static_cast<std::int64_t>(got.clip.samples.size()) <= kLimit,
                     "no more samples than the limit");
    return 0;
}
