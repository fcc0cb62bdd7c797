// What reception knows of a watch family's transfers, at the level of the signal and the byte
// stream: the bit timing, how the blocks are framed and how the stream head names the family.
// Reception never looks a family up by itself; the family table hands these descriptions in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "reception/received_bytes.h"

namespace zendrik {

// How the blocks of a transfer are framed; decides the expected length and the live block check.
// The families that share a layout share its decoder and its report form too, so a transfer says
// by its layout which texts it makes.
enum class StreamLayout {
    S410Blocks,   // 13-byte head, blocks of 0x55, number, length, data, CRC high, CRC low
    CoachBlocks,  // head of 11, blocks whose third byte is the whole block size, CRC low first
    RS200Blocks,  // 13-byte head with its own CRC, blocks at a fixed stride of 255 bytes
};

// Bit timing of the demodulator, in samples: the bit period and the start-detection window.
struct BitTiming {
    int period;
    int window;
};

struct BlockScan;

// One byte a stream head must hold for its family to be recognised.
struct HeadByte {
    std::uint8_t position;
    std::uint8_t value;
};

// The bytes of a stream head that name a family: the model byte, and where two families share
// one, the further bytes that tell them apart. Bytes not yet received never match.
struct HeadMarker {
    std::array<HeadByte, 4> bytes{};
    std::size_t count = 0;
};

// One family's transfers as reception sees them.
struct StreamFormat {
    int family = 0;  // the family table's code, handed back untouched by detection
    HeadMarker marker;
    StreamLayout layout = StreamLayout::S410Blocks;
    BitTiming at44100{0, 0};
    BitTiming at22050{0, 0};

    // The blocks of a transfer in this format that starts at the first of `bytes`.
    BlockScan Scan(const ReceivedBytes& bytes) const;

    // The bit timing at a capture rate: 22050 after a device fallback, else that of 44100.
    BitTiming TimingAt(int sampleRate) const { return sampleRate == 22050 ? at22050 : at44100; }
};

using StreamFormats = std::span<const StreamFormat>;

// The format whose head marker the stream head carries (a head of more than 10 bytes with the
// 0x55 start mark); of several that match, the one with the most marker bytes. nullptr: none.
const StreamFormat* MatchStreamHead(const ReceivedBytes& bytes, StreamFormats formats);

// Bits per second of a bit period at a sample rate, rounded; 0 for no period.
int BitsPerSecond(BitTiming timing, int sampleRate);

}  // namespace zendrik
