#include "reception/block_scan.h"

#include "reception/stream_check.h"

namespace zendrik {

namespace {

constexpr std::ptrdiff_t kS410FirstBlock = 13;
constexpr std::ptrdiff_t kCoachFirstBlock = 11;
constexpr int kCoachBlockFraming = 5;  // mark, number, size and two checksum bytes
constexpr std::ptrdiff_t kRsFirstBlock = 13;
constexpr std::ptrdiff_t kRsBlockStride = 255;
constexpr std::ptrdiff_t kBlockHead = 3;  // mark, number, length
// Head bytes no check looks at. The model byte is not among them (a wrong one names another
// layout, or differs in five bits), nor is the S410/S510's data length, which the blocks that
// arrive must agree with. The block counts are: an S410/S510 transfer ends with empty blocks up
// to its lap area, and a count that leaves some of them out still agrees with the data length,
// every block before them checking out; a Coach count one short takes the transfer to have
// ended a block early.
constexpr std::uint32_t kS410UncheckedHead = 1u << 7 | 1u << 8 | 1u << 11 | 1u << 12;
constexpr std::uint32_t kCoachUncheckedHead = 1u << 7 | 1u << 8 | 1u << 9 | 1u << 10;

// Walks the blocks from `first` on, as far as their heads have arrived and each that arrived
// whole leads to the next; `frame` fills in a block whose head is at `at`.
template <typename Frame>
bool Walk(const ReceivedBytes& b, BlockScan& scan, std::ptrdiff_t first, Frame frame) {
    std::ptrdiff_t at = first;
    for (int k = 0; k < scan.announced; ++k) {
        if (at + kBlockHead > b.GetSize()) {
            scan.end = at;
            return false;
        }
        ScannedBlock block = frame(at);
        block.begin = at;
        block.data = at + kBlockHead;
        block.framed = b[at] == 0x55 && b[at + 1] == k + 1;
        scan.blocks.push_back(block);
        if (!block.whole) {
            scan.end = at;
            return false;
        }
        at = block.end;
    }
    scan.end = at;
    return true;
}

bool AllGood(const BlockScan& scan) {
    return scan.GoodBlocks() == scan.announced;
}

// The S410/S510 and Coach decoders read nothing of a transfer whose blocks do not all check out:
// a block missing or framed wrongly fails it silently, a checksum that does not hold with its line.
void FailOnFirstBadBlock(BlockScan& scan) {
    for (int k = 0; k < scan.announced; ++k) {
        if (k >= static_cast<int>(scan.blocks.size())) {
            scan.failed = true;
            return;
        }
        const ScannedBlock& block = scan.blocks[static_cast<std::size_t>(k)];
        if (!block.framed || !block.whole) {
            scan.failed = true;
            return;
        }
        if (!block.checksumGood) {
            scan.faults.push_back({ScanFault::Checksum, k + 1, block.stored, block.computed});
            scan.failed = true;
            return;
        }
    }
}

void ScanS410(const ReceivedBytes& b, BlockScan& scan) {
    const std::ptrdiff_t dataLength = 256 * b.At(10) + b.At(9);
    scan.announcedLength = dataLength + 5 * scan.announced + kS410FirstBlock;
    scan.uncheckedHead = kS410UncheckedHead;
    const bool allWhole = Walk(b, scan, kS410FirstBlock, [&](std::ptrdiff_t x) {
        ScannedBlock block;
        block.length = b[x + 2];
        block.end = x + block.length + 5;
        block.whole = block.end <= b.GetSize();
        if (block.whole) {
            block.stored = 256u * b[x + block.length + 3] + b[x + block.length + 4];
            block.computed = BlockCrc16(b, x, block.length + 3);
            block.checksumGood = block.stored == block.computed;
        }
        return block;
    });
    // Counted from the head rather than the blocks: a block length misread breaks the framing,
    // not the transfer's having arrived.
    scan.length = allWhole ? scan.end : scan.announcedLength;
    scan.arrived = b.GetSize() >= scan.announcedLength;
    // The head's length fields must agree with the blocks that came, so no block is missing.
    scan.complete = allWhole && scan.end == scan.announcedLength && AllGood(scan);

    if (scan.announced > kMaxBlocks) {
        scan.faults.push_back({ScanFault::TooManyBlocks, scan.announced, 0, 0});
        scan.failed = true;
    } else {
        FailOnFirstBadBlock(scan);
    }
    // The length check: the data of the blocks read against the head's length fields (none read
    // when a block failed).
    long long sum = 0;
    if (!scan.failed) {
        for (const ScannedBlock& block : scan.blocks) sum += block.length;
    }
    if (sum != dataLength) {
        scan.faults.push_back({ScanFault::Length, 0, 0, 0});
        scan.failed = true;
    }
    scan.readable = scan.failed ? 0 : scan.announced;
    scan.dataEnd = scan.end;
}

void ScanCoach(const ReceivedBytes& b, BlockScan& scan) {
    scan.uncheckedHead = kCoachUncheckedHead;
    // The third byte of a block is its whole size; one below the framing cannot hold its own
    // checksum, and the walk could not get past it.
    const bool allWhole = Walk(b, scan, kCoachFirstBlock, [&](std::ptrdiff_t pos) {
        ScannedBlock block;
        block.length = b[pos + 2];
        block.end = pos + block.length;
        block.whole = block.length >= kCoachBlockFraming && block.end <= b.GetSize();
        if (block.whole) {
            block.stored = 256u * b[block.end - 1] + b[block.end - 2];
            block.computed = BlockCrc16(b, pos, block.length - 2);
            block.checksumGood = block.stored == block.computed;
        }
        return block;
    });
    scan.length = scan.end;
    scan.arrived = allWhole;
    scan.complete = allWhole && AllGood(scan);

    if (scan.announced > kMaxBlocks) {
        scan.faults.push_back({ScanFault::TooManyBlocks, scan.announced, 0, 0});
        scan.failed = true;
    } else {
        FailOnFirstBadBlock(scan);
    }
    scan.readable = scan.failed ? 0 : scan.announced;
    scan.dataEnd = scan.end;
}

void ScanRs(const ReceivedBytes& b, BlockScan& scan) {
    scan.checksumCovered = false;
    scan.announcedLength = kRsFirstBlock + kRsBlockStride * scan.announced;
    scan.length = scan.announcedLength;
    scan.arrived = b.GetSize() >= scan.announcedLength;
    const unsigned stored = 256u * static_cast<unsigned>(b.At(11)) + static_cast<unsigned>(b.At(12));
    const unsigned computed = BlockCrc16(b, 5, 6);
    Walk(b, scan, kRsFirstBlock, [&](std::ptrdiff_t h) {
        ScannedBlock block;
        block.end = h + kRsBlockStride;
        block.whole = block.end <= b.GetSize();
        return block;
    });
    scan.headGood = stored == computed;
    scan.complete = scan.headGood && AllGood(scan);

    // The blocks carry no checksum: a sound head is enough, and the decoder reads the blocks up to
    // the first one framed wrongly or not there, the last one as far as it arrived.
    if (scan.announced > kMaxBlocks) {
        scan.faults.push_back({ScanFault::TooManyBlocks, scan.announced, 0, 0});
    } else {
        while (scan.readable < static_cast<int>(scan.blocks.size()) &&
               scan.blocks[static_cast<std::size_t>(scan.readable)].framed) {
            ++scan.readable;
        }
    }
    if (stored != computed) scan.faults.push_back({ScanFault::Checksum, 0, stored, computed});
}

}  // namespace

int BlockScan::WholeBlocks() const {
    int whole = 0;
    for (const ScannedBlock& block : blocks) whole += block.whole;
    return whole;
}

int BlockScan::GoodBlocks() const {
    int good = 0;
    for (const ScannedBlock& block : blocks) good += block.Good();
    return good;
}

BlockScan ScanBlocks(const ReceivedBytes& bytes, StreamLayout layout) {
    BlockScan scan;
    scan.announced = bytes.At(8);
    switch (layout) {
        case StreamLayout::S410Blocks:
            ScanS410(bytes, scan);
            break;
        case StreamLayout::CoachBlocks:
            ScanCoach(bytes, scan);
            break;
        case StreamLayout::RS200Blocks:
            ScanRs(bytes, scan);
            break;
    }
    return scan;
}

}  // namespace zendrik
