// The decoders of the watch families: each checks a received stream and takes its exercise from
// it, returning what it found as a Transfer. They read nothing but the bytes and the context, so
// decoding the same bytes in the same context always gives the same Transfer.
#pragma once

#include "decoders/watch_values.h"
#include "decoders/transfer.h"
#include "reception/received_bytes.h"

namespace zendrik {

// Most samples a series holds; longer sample counts in a stream are cut to it.
inline constexpr int kMaxSeriesSamples = 120;

// What a decoder takes from outside the stream.
struct DecodeContext {
    // Today's date in UTC: the Coach sends month and day only, and the year follows from it.
    DateValue utcToday;
};

// An S410/S510 transfer: its blocks' framing and checksums, the length check, then the exercise.
Transfer ReadS410Transfer(const ReceivedBytes& bytes, const DecodeContext& context);
// A Coach transfer: its blocks' framing and checksums, then the exercise.
Transfer ReadCoachTransfer(const ReceivedBytes& bytes, const DecodeContext& context);
// An RS200/CS200 transfer: valid with a sound head whatever its blocks hold (they carry no
// checksum); a run or a ride as the stream says.
Transfer ReadRs200Transfer(const ReceivedBytes& bytes, const DecodeContext& context);

}  // namespace zendrik
