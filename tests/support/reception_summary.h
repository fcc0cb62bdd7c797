// Everything the second receiver gives for a recording, as text: to compare two ways of
// receiving the same sound in one expectation, and to show where they differ.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <string>

#include "reception/audio_file.h"
#include "reception/second_receiver.h"

namespace zendrik {

namespace testing_streams {

// Whether accepted, the bytes, and each transfer's place, bytes and report lines.
std::string ReceptionSummary(const zendrik::SecondReception& reception);

// The summaries of the second receiver's reception of the sound file at `path`, read whole by
// `read` and read in passes from the source `open` gives; a reading that fails says why in both.
struct WholeAndStreamed {
    std::string whole;
    std::string streamed;
};
WholeAndStreamed ReceiveBothWays(const std::string& path,
                                 AudioFileResult (*read)(std::istream&, std::int64_t),
                                 std::unique_ptr<DecodedSound> (*open)(std::istream&, std::string&, std::int64_t));

}  // namespace testing_streams

}  // namespace zendrik
