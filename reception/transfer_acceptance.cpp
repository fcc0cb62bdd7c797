#include "reception/transfer_acceptance.h"

#include <algorithm>

#include "reception/block_scan.h"
#include "reception/stream_check.h"

namespace zendrik {

namespace {

// The longest transfer any head can announce (255 RS200 blocks of 255 bytes after a head of 13);
// a head is never trusted to make the check look further than this.
constexpr std::ptrdiff_t kLongestTransfer = 13 + 255 * 255;

}  // namespace

TransferCheck CheckTransfer(const ReceivedBytes& bytes, StreamFormats formats) {
    TransferCheck check;
    const StreamFormat* format = MatchStreamHead(bytes, formats);
    if (!format || format->family == 0 || !HasStreamHead(bytes) ||
        !FindStreamHead(bytes, format->layout, nullptr)) {
        return check;
    }
    check.watchModel = format->family;
    check.blocksTotal = bytes[8];
    // A transfer without blocks carries no exercise, and nothing would vouch for its bytes.
    if (check.blocksTotal == 0) return check;
    const BlockScan scan = format->Scan(bytes);
    for (const ScannedBlock& block : scan.blocks) {
        if (block.whole) check.blocks.push_back({block.begin, block.end, block.Good()});
    }
    check.blocksArrived = scan.WholeBlocks();
    check.blocksGood = scan.GoodBlocks();
    check.length = scan.length;
    check.announced = scan.announcedLength;
    check.arrived = scan.arrived;
    check.complete = scan.complete;
    check.checksumCovered = scan.checksumCovered;
    check.headGood = scan.headGood;
    check.uncheckedHead = scan.uncheckedHead;
    return check;
}

TransferCheck FindTransfer(const std::vector<std::uint8_t>& bytes, StreamFormats formats) {
    TransferCheck best;
    const std::ptrdiff_t count = static_cast<std::ptrdiff_t>(bytes.size());
    ReceivedBytes window;
    // Noise can fake a head here and there; a bounded number of them are looked at, so hostile
    // sound cannot make this quadratic.
    int headsLeft = 64;
    for (std::ptrdiff_t i = 0; i + 6 <= count && headsLeft > 0; ++i) {
        if (bytes[i] != 0xAA || bytes[i + 1] != 0xAA || bytes[i + 2] != 0xAA ||
            bytes[i + 3] != 0xAA || bytes[i + 4] != 0xAA || bytes[i + 5] != 0x55) {
            continue;
        }
        --headsLeft;
        const std::ptrdiff_t end = std::min(count, i + kLongestTransfer);
        window.SetSize(0);
        window.Reserve(end - i);
        for (std::ptrdiff_t j = i; j < end; ++j) window.Add(bytes[j]);
        TransferCheck check = CheckTransfer(window, formats);
        if (check.watchModel == 0) continue;
        check.start = i;
        if (check.complete) return check;
        if (best.watchModel == 0 || check.blocksGood > best.blocksGood) best = check;
    }
    return best;
}

}  // namespace zendrik
