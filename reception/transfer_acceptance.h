// Whether a run of received bytes is a whole transfer whose stream head and blocks all check
// out, by the layout its head names. The second receiver accepts nothing else, and the file path
// asks it of the exact receiver's bytes before deciding whether to try the second one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "reception/received_bytes.h"
#include "reception/stream_format.h"

namespace zendrik {

// Where a block that arrived whole lies among a transfer's bytes (from its preamble), and whether
// its check passes.
struct CheckedBlock {
    std::ptrdiff_t begin = 0;
    std::ptrdiff_t end = 0;
    bool good = false;
};

struct TransferCheck {
    int watchModel = 0;          // the family of the format the head names; 0 when there is none
    std::ptrdiff_t start = 0;    // where the preamble begins among the bytes looked at
    std::ptrdiff_t length = 0;   // bytes of the whole transfer by its head and blocks
    std::ptrdiff_t announced = 0;  // bytes the head announces; 0 for a head that gives none (Coach)
    int blocksGood = 0;
    int blocksArrived = 0;       // blocks whose every byte is there, good or not
    int blocksTotal = 0;
    bool complete = false;       // every block present and checked good (RS200/CS200: framed)
    bool arrived = false;        // every byte the head announces is there, good or not (Coach:
                                 // every block framed, as its head gives no length)
    bool checksumCovered = true; // false for RS200/CS200, whose blocks carry no checksum we know
    bool headGood = true;        // the head's own checksum passes, where it has one (RS200/CS200)
    // Head bytes (bit i: byte i from the preamble) a wrong value of which passes every check:
    // no checksum covers them, and nothing else in the transfer has to agree with them. A
    // receiver has to be sure of them by other means. None for RS200/CS200, whose head has a
    // checksum of its own (and whose blocks have none: checksumCovered).
    std::uint32_t uncheckedHead = 0;
    std::vector<CheckedBlock> blocks;  // each that arrived whole, in order
};

// Checks the transfer that starts at the first byte of `bytes`, as one of `formats` (the one
// its head names).
TransferCheck CheckTransfer(const ReceivedBytes& bytes, StreamFormats formats);

// Looks for a transfer start (five 0xAA and 0x55) anywhere in `bytes` and checks each one; the
// first complete one wins, else the one with the most good blocks. watchModel 0: none found.
TransferCheck FindTransfer(const std::vector<std::uint8_t>& bytes, StreamFormats formats);

}  // namespace zendrik
