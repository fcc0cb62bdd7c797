// Any bytes as a phone's compressed recording through FFmpeg: reading must end, stay within the
// sample limit it is given, and either give one channel at a rate or a reason.
#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_support.h"
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
    fuzzing::Require(!got.clip.samples.empty(), "a clip read holds sound");
    fuzzing::Require(static_cast<std::int64_t>(got.clip.samples.size()) <= kLimit,
                     "no more samples than the limit");
    return 0;
}
