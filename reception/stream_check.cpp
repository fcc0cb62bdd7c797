#include "reception/stream_check.h"

#include <array>

#include "reception/block_scan.h"

namespace zendrik {

namespace {

constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned acc = byte << 8;
        for (int bit = 0; bit < 8; ++bit) {
            acc = (acc & 0x8000) ? (acc << 1) ^ 0x8005 : acc << 1;
        }
        table[byte] = static_cast<std::uint16_t>(acc);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kCrcTable = MakeCrcTable();

inline std::uint16_t CrcStep(std::uint16_t acc, unsigned byte) {
    return static_cast<std::uint16_t>((acc << 8) ^ kCrcTable[((acc >> 8) ^ byte) & 0xFF]);
}

}  // namespace

std::uint16_t BlockCrc16(const std::uint8_t* bytes, std::size_t count) {
    std::uint16_t acc = 0;
    for (std::size_t i = 0; i < count; ++i) acc = CrcStep(acc, bytes[i]);
    return acc;
}

std::uint16_t BlockCrc16(const ReceivedBytes& bytes, std::ptrdiff_t first, std::ptrdiff_t count) {
    std::uint16_t acc = 0;
    for (std::ptrdiff_t i = 0; i < count; ++i) {
        acc = CrcStep(acc, static_cast<unsigned>(bytes.At(first + i)));
    }
    return acc;
}

bool HasPreamble(const ReceivedBytes& bytes) {
    if (bytes.GetSize() <= 10) return false;
    for (int i = 0; i < 5; ++i) {
        if (bytes[i] != 0xAA) return false;
    }
    return true;
}

bool HasStreamHead(const ReceivedBytes& bytes) {
    return bytes.GetSize() > 20 && HasPreamble(bytes) && bytes[5] == 0x55;
}

bool FindStreamHead(const ReceivedBytes& bytes, StreamLayout layout, std::ptrdiff_t* expected) {
    if (!HasPreamble(bytes)) return false;
    const std::ptrdiff_t count = bytes.GetSize();
    const std::ptrdiff_t blocks = bytes.At(8);
    std::ptrdiff_t total = 0;
    switch (layout) {
        case StreamLayout::CoachBlocks: {
            // Each Coach block names its own size in its third byte; walk the sizes as far as
            // they have arrived.
            std::ptrdiff_t x = 13;
            std::ptrdiff_t steps = 0;
            for (; steps < blocks; ++steps) {
                if (x >= count) break;
                x += bytes.At(x);
            }
            total = 17 * blocks + 14;
            // The walk ends on where a further block's size byte would be, two bytes past the
            // last block: once the last block is in, the transfer is. Waiting for a byte beyond
            // it would leave a transfer that ends with its last block waiting for ever.
            if (steps == blocks && count >= x - 2) total = count;
            break;
        }
        case StreamLayout::RS200Blocks:
            total = 252 * blocks + 12;
            break;
        case StreamLayout::S410Blocks:
            total = 256 * bytes.At(10) + bytes.At(9) + 5 * blocks + 13;
            break;
    }
    if (expected) *expected = total;
    return true;
}

bool BlockCheckPasses(const ReceivedBytes& bytes, StreamLayout layout) {
    if (layout != StreamLayout::S410Blocks) return true;
    if (bytes.GetSize() <= 20 || !HasPreamble(bytes) || bytes[5] != 0x55) return true;
    // A block that has not arrived whole passes; it ends the blocks there are.
    for (const zendrik::ScannedBlock& block : zendrik::ScanBlocks(bytes, layout).blocks) {
        if (block.whole && !block.Good()) return false;
    }
    return true;
}

}  // namespace zendrik
