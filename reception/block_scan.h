// The one walk over a transfer's blocks: where each block lies, whether it arrived whole, is
// framed as expected and passes its checksum, what the head announces and what no check covers.
// The live block check, the acceptance of a received transfer and the decoders all read it, each
// taking the part it needs, so the framing of a layout is written here alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "reception/received_bytes.h"
#include "reception/stream_format.h"

namespace zendrik {

// Most blocks a decoder reads; a transfer that announces more is reported, not read.
inline constexpr int kMaxBlocks = 20;

struct ScannedBlock {
    std::ptrdiff_t begin = 0;  // its 0x55 mark, counted from the preamble
    std::ptrdiff_t data = 0;   // its first data byte
    int length = 0;            // S410/S510: data bytes; Coach: the whole block's size byte
    std::ptrdiff_t end = 0;    // past its last byte
    bool whole = false;        // every byte of it is there
    bool framed = false;       // its mark and number are the expected ones
    bool checksumGood = true;  // true as well for a block without a checksum (RS200/CS200)
    unsigned stored = 0;       // its checksum as sent and as computed
    unsigned computed = 0;

    bool Good() const { return whole && framed && checksumGood; }
};

// A fault a decoder reports, in the order found.
struct ScanFault {
    enum Kind { TooManyBlocks, Checksum, Length } kind;
    int number;         // the blocks announced (TooManyBlocks), the block's number (Checksum)
    unsigned stored;    // Checksum: as sent and as computed
    unsigned computed;
};

struct BlockScan {
    int announced = 0;  // the head's block count
    // From the first block on, each whose mark, number and size have arrived; a block that is not
    // whole is the last one.
    std::vector<ScannedBlock> blocks;
    // Past the last whole block: where the transfer ends once every block is in.
    std::ptrdiff_t end = 0;
    // Bytes the head announces (S410/S510: its length fields; RS200/CS200: the stride of its
    // blocks); 0 for a head that gives none (Coach).
    std::ptrdiff_t announcedLength = 0;
    // Bytes of the whole transfer by its head and blocks: S410/S510 as far as the blocks are
    // framed, else as announced; Coach as far as they are; RS200/CS200 as announced.
    std::ptrdiff_t length = 0;
    // Every announced byte is there, good or not (Coach: every block framed, as its head gives no
    // length).
    bool arrived = false;
    // Every announced block whole and good, the head's checksum good and the blocks as long as the
    // head says.
    bool complete = false;
    bool checksumCovered = true;  // false for RS200/CS200, whose blocks carry no checksum we know
    bool headGood = true;         // the head's own checksum passes, where it has one (RS200/CS200)
    // Head bytes (bit i: byte i from the preamble) a wrong value of which passes every check: no
    // checksum covers them and nothing else has to agree with them.
    std::uint32_t uncheckedHead = 0;

    // What a decoder makes of the scan: the faults it reports, in order (more blocks than it
    // reads, a block's checksum, the length check), whether the transfer fails for it, and how
    // many blocks from the first on it reads. A block past those reads as zeros; dataEnd is where
    // the transfer's bytes end for it.
    std::vector<ScanFault> faults;
    bool failed = false;
    int readable = 0;
    std::ptrdiff_t dataEnd = std::numeric_limits<std::ptrdiff_t>::max();

    int WholeBlocks() const;
    int GoodBlocks() const;
};

// Scans the blocks of the transfer that starts at the first of `bytes` (its preamble) in a
// layout. Bytes past the received ones are never read.
BlockScan ScanBlocks(const ReceivedBytes& bytes, StreamLayout layout);

}  // namespace zendrik
