// What one decoding run made of a transfer: whether it checked out, what the checks said and the
// exercise it holds.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "decoders/exercise.h"
#include "reception/stream_format.h"

namespace zendrik {

struct Transfer {
    // The layout whose decoder read the bytes, and so which texts they make; none for nothing
    // decoded yet.
    std::optional<StreamLayout> layout;
    // The watch model code the bytes were decoded as (a code outside the family table too); 0
    // when no model was named.
    int model = 0;
    bool valid = false;
    // Whether the bytes began with a stream head. Without one the S410/S510 and Coach texts hold
    // that message alone, set apart by an empty line, and no CSV text.
    bool streamHead = false;
    // The lines the stream checks wrote (a block's CRC error, a failed length check, ...); a
    // valid RS200/CS200 transfer can carry some, as its blocks have no checksum of their own.
    std::vector<std::string> checkMessages;
    // None when the transfer is not valid, or its head names neither a run nor a ride.
    std::optional<Exercise> exercise;
};

}  // namespace zendrik
