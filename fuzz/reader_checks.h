// What the harnesses of the sound file readers check alike: a reading gives one channel within
// the limit at a positive rate, or a reason; and the same file opened as a source is refused
// with the same reason, or hands over the same samples on every pass.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "reception/audio_file.h"

namespace zendrik::fuzzing {

// `got` is the file read whole, `sound` and `why` the file opened as a source; false when it was
// refused (both ways alike).
inline bool CheckReaderAndSource(const AudioFileResult& got, DecodedSound* sound, const std::string& why,
                                 std::int64_t limit) {
    Require(!sound == !got.ok && why == got.reason, "the source is refused as the reading is");
    if (!got.ok) {
        Require(!got.reason.empty(), "a file not read comes with a reason");
        return false;
    }
    Require(got.clip.sampleRate > 0, "a clip has a rate");
    Require(static_cast<std::int64_t>(got.clip.samples.size()) <= limit, "no more samples than the limit");
    for (int pass = 0; pass < 2; ++pass) {
        // Room for one more sample than the reading gave, to see that no pass gives more.
        std::vector<float> samples(got.clip.samples.size() + 1);
        std::size_t at = 0;
        for (std::ptrdiff_t n; at < samples.size() &&
                               (n = sound->ReadFloats(samples.data() + at,
                                                      std::min<std::ptrdiff_t>(1000, std::ssize(samples) -
                                                                                         static_cast<std::ptrdiff_t>(at)))) > 0;) {
            at += static_cast<std::size_t>(n);
        }
        // Bit for bit: a float file may hold values that are not numbers.
        Require(at == got.clip.samples.size() && sound->SampleRate() == got.clip.sampleRate &&
                    (at == 0 || std::memcmp(samples.data(), got.clip.samples.data(), at * sizeof(float)) == 0),
                "each pass hands over the samples read whole");
        Require(sound->Rewind(), "a source read once can be read again");
    }
    return true;
}

}  // namespace zendrik::fuzzing
