// What one decoding run made of a transfer: whether it checked out, what the checks said and the
// exercise it holds.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "decoders/exercise.h"

namespace zendrik {

struct Transfer {
    bool valid = false;
    // The lines the stream checks wrote (a block's CRC error, a failed length check, ...); a
    // valid RS200/CS200 transfer can carry some, as its blocks have no checksum of their own.
    std::vector<std::string> checkMessages;
    // None when the transfer is not valid, or its head names neither a run nor a ride.
    std::optional<Exercise> exercise;
};

}  // namespace zendrik
