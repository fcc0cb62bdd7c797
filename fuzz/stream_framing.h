// Making the block frames and checksums of a fuzzed stream right, so that mutated exercise data
// gets past the checks to the decoders' values instead of stopping at a checksum.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "reception/stream_check.h"
#include "reception/stream_format.h"

namespace zendrik {

namespace fuzzing {

inline void PutCrc(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t crc, bool highFirst) {
    b[at] = static_cast<std::uint8_t>(highFirst ? crc >> 8 : crc & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>(highFirst ? crc & 0xFF : crc >> 8);
}

// Gives each block that has fully arrived its mark, number and a right checksum, and the head
// the right total length, in the given framing.
inline void FrameBlocks(std::vector<std::uint8_t>& b, StreamLayout layout) {
    const std::size_t count = b.size();
    if (count <= 13) return;
    const int blocks = std::min<int>(b[8], 20);
    switch (layout) {
        case StreamLayout::S410Blocks: {
            std::size_t pos = 13;
            unsigned total = 0;
            for (int k = 0; k < blocks && pos + 3 <= count; ++k) {
                b[pos] = 0x55;
                b[pos + 1] = static_cast<std::uint8_t>(k + 1);
                const std::size_t len = b[pos + 2];
                if (pos + 5 + len > count) break;
                PutCrc(b, pos + 3 + len, BlockCrc16(b.data() + pos, len + 3), true);
                total += static_cast<unsigned>(len);
                pos += len + 5;
            }
            b[9] = static_cast<std::uint8_t>(total & 0xFF);
            b[10] = static_cast<std::uint8_t>(total >> 8);
            break;
        }
        case StreamLayout::CoachBlocks: {
            std::size_t pos = 11;
            for (int k = 0; k < blocks && pos + 3 <= count; ++k) {
                b[pos] = 0x55;
                b[pos + 1] = static_cast<std::uint8_t>(k + 1);
                const std::size_t len = b[pos + 2];
                if (len < 5 || pos + len > count) break;
                PutCrc(b, pos + len - 2, BlockCrc16(b.data() + pos, len - 2), false);
                pos += len;
            }
            break;
        }
        case StreamLayout::RS200Blocks: {
            for (int k = 0; k < blocks; ++k) {
                const std::size_t h = 13 + 255 * static_cast<std::size_t>(k);
                if (h + 2 > count) break;
                b[h] = 0x55;
                b[h + 1] = static_cast<std::uint8_t>(k + 1);
            }
            PutCrc(b, 11, BlockCrc16(b.data() + 5, 6), true);
            break;
        }
    }
}

}  // namespace fuzzing

}  // namespace zendrik
