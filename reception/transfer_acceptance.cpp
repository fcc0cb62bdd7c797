#include "reception/transfer_acceptance.h"

#include <algorithm>

#include "reception/stream_check.h"

namespace zendrik {

namespace {

constexpr std::ptrdiff_t kS410FirstBlock = 13;
constexpr std::ptrdiff_t kCoachFirstBlock = 11;
constexpr int kCoachBlockFraming = 5;  // mark, number, size and two checksum bytes
constexpr std::ptrdiff_t kRsFirstBlock = 13;
constexpr std::ptrdiff_t kRsBlockStride = 255;
// The longest transfer any head can announce (255 RS200 blocks); a head is never trusted to
// make the check look further than this.
constexpr std::ptrdiff_t kLongestTransfer = kRsFirstBlock + kRsBlockStride * 255;
// Head bytes no check looks at. The model byte is not among them (a wrong one names another
// layout, or differs in five bits), nor is the S410/S510's data length, which the blocks that
// arrive must agree with. The block counts are: an S410/S510 transfer ends with empty blocks up
// to its lap area, and a count that leaves some of them out still agrees with the data length,
// every block before them checking out; a Coach count one short takes the transfer to have
// ended a block early.
constexpr std::uint32_t kS410UncheckedHead = 1u << 7 | 1u << 8 | 1u << 11 | 1u << 12;
constexpr std::uint32_t kCoachUncheckedHead = 1u << 7 | 1u << 8 | 1u << 9 | 1u << 10;

void CheckS410Blocks(const CReceivedBytes& b, TransferCheck& check) {
    const std::ptrdiff_t count = b.GetSize();
    std::ptrdiff_t expected = 0;
    FindStreamHead(b, StreamLayout::S410Blocks, &expected);
    std::ptrdiff_t x = kS410FirstBlock;
    bool framed = true;
    for (int number = 1; number <= check.blocksTotal; ++number) {
        const std::ptrdiff_t len = b.At(x + 2);
        const std::ptrdiff_t next = x + len + 5;
        if (next > count) {
            framed = false;
            break;
        }
        ++check.blocksArrived;
        const unsigned stored = 256u * static_cast<unsigned>(b[x + len + 3]) +
                                static_cast<unsigned>(b[x + len + 4]);
        const bool good = b[x] == 0x55 && b[x + 1] == number && BlockCrc16(b, x, len + 3) == stored;
        check.blocksGood += good;
        check.blocks.push_back({x, next, good});
        x = next;
    }
    check.length = framed ? x : expected;
    check.announced = expected;
    // Counted from the head rather than the blocks: a block length misread breaks the framing,
    // not the transfer's having arrived.
    check.arrived = count >= expected;
    // The head's length fields must agree with the blocks that came, so no block is missing.
    check.complete = framed && x == expected && check.blocksGood == check.blocksTotal;
}

void CheckCoachBlocks(const CReceivedBytes& b, TransferCheck& check) {
    const std::ptrdiff_t count = b.GetSize();
    std::ptrdiff_t pos = kCoachFirstBlock;
    bool framed = true;
    for (int k = 0; k < check.blocksTotal; ++k) {
        const std::ptrdiff_t len = b.At(pos + 2);
        if (len < kCoachBlockFraming || pos + len > count) {
            framed = false;
            break;
        }
        ++check.blocksArrived;
        const unsigned stored = 256u * static_cast<unsigned>(b[pos + len - 1]) +
                                static_cast<unsigned>(b[pos + len - 2]);
        const bool good =
            b[pos] == 0x55 && b[pos + 1] == k + 1 && BlockCrc16(b, pos, len - 2) == stored;
        check.blocksGood += good;
        check.blocks.push_back({pos, pos + len, good});
        pos += len;
    }
    check.length = pos;
    check.arrived = framed;
    check.complete = framed && check.blocksGood == check.blocksTotal;
}

void CheckRsBlocks(const CReceivedBytes& b, TransferCheck& check) {
    check.checksumCovered = false;
    const unsigned stored = 256u * static_cast<unsigned>(b.At(11)) + static_cast<unsigned>(b.At(12));
    check.headGood = BlockCrc16(b, 5, 6) == stored;
    check.length = kRsFirstBlock + kRsBlockStride * check.blocksTotal;
    check.announced = check.length;
    check.arrived = b.GetSize() >= check.length;
    for (int k = 0; k < check.blocksTotal; ++k) {
        const std::ptrdiff_t h = kRsFirstBlock + kRsBlockStride * k;
        if (h + kRsBlockStride > b.GetSize()) break;
        ++check.blocksArrived;
        const bool good = b[h] == 0x55 && b[h + 1] == k + 1;
        check.blocksGood += good;
        check.blocks.push_back({h, h + kRsBlockStride, good});
    }
    check.complete = check.headGood && check.blocksGood == check.blocksTotal;
}

}  // namespace

TransferCheck CheckTransfer(const CReceivedBytes& bytes, StreamFormats formats) {
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
    switch (format->layout) {
        case StreamLayout::S410Blocks:
            check.uncheckedHead = kS410UncheckedHead;
            CheckS410Blocks(bytes, check);
            // The live check walks the same blocks; both must agree that nothing is wrong.
            check.complete = check.complete && BlockCheckPasses(bytes, format->layout);
            break;
        case StreamLayout::CoachBlocks:
            check.uncheckedHead = kCoachUncheckedHead;
            CheckCoachBlocks(bytes, check);
            break;
        case StreamLayout::RS200Blocks:
            CheckRsBlocks(bytes, check);
            break;
    }
    return check;
}

TransferCheck FindTransfer(const std::vector<std::uint8_t>& bytes, StreamFormats formats) {
    TransferCheck best;
    const std::ptrdiff_t count = static_cast<std::ptrdiff_t>(bytes.size());
    CReceivedBytes window;
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
