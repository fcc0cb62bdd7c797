// What the decoders share about a transfer's blocks: the table of the blocks a scan lets them
// read, so that a block missing from the stream reads as zeros, and the lines of its faults.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "decoders/stream_values.h"
#include "decoders/transfer.h"
#include "reception/block_scan.h"
#include "reception/received_bytes.h"

namespace zendrik {

class BlockTable {
public:
    // The blocks of `scan` a decoder reads (scan.readable of them), over the bytes scanned.
    BlockTable(const ReceivedBytes& bytes, const BlockScan& scan) : bytes_(&bytes), scan_(&scan) {}

    bool Present(std::ptrdiff_t k) const { return k >= 0 && k < scan_->readable; }
    // The data of block k; a block that was not found reads as all zeros (never as the bytes at
    // the start of the stream, and never past the table). Whatever follows the transfer's last
    // block (noise a live reception caught after it, junk appended to a dump) is not part of it.
    ByteView Data(std::ptrdiff_t k) const {
        return Present(k) ? ByteView(*bytes_, Block(k).data, scan_->dataEnd) : ByteView();
    }
    int Length(std::ptrdiff_t k) const { return Present(k) ? Block(k).length : 0; }

private:
    const ScannedBlock& Block(std::ptrdiff_t k) const {
        return scan_->blocks[static_cast<std::size_t>(k)];
    }

    const ReceivedBytes* bytes_;
    const BlockScan* scan_;
};

// What every checked block layout's decoder does first: a transfer of `layout`, its stream head
// checked ("invalid Data Header" without one) and its blocks scanned into `scan`. False, with
// the fault lines in `transfer`, when the head or a block's check fails.
bool ScanCheckedTransfer(const ReceivedBytes& bytes, StreamLayout layout, Transfer& transfer,
                         BlockScan& scan);

// The lines of the scan's faults, in order: "Internal Buffer too small (%d Blocks)!", "CRC Error
// Block %d: BlockCRC: %04X, expected: %04X", "Length Check failed!".
std::vector<std::string> FaultLines(const BlockScan& scan);

}  // namespace zendrik
