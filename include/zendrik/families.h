// The watch families and decoding, as the programs see them: the family table (code, names, how
// a stream head names it, block layout and scan, bit timings, decoder, how a reading ends), and
// `Decode(bytes, code, context)`, which gives a `Transfer`: whether the bytes checked out, the
// lines the checks wrote, and the `Exercise` they hold. Decoding reads nothing but the bytes and
// the context (today's date, for the Coach's year): the same bytes on the same day always give
// the same Transfer, and no exception leaves it.
#pragma once

#include "decoders/exercise.h"
#include "decoders/families.h"
#include "decoders/transfer.h"
#include "decoders/transfer_decoders.h"
#include "reception/received_bytes.h"

namespace zendrik {

}  // namespace zendrik
