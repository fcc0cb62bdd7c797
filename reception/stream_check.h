// The checks reception applies to a SonicLink byte stream: the block checksum, the stream head
// with the expected total length and the live block check.
#pragma once

#include <cstddef>
#include <cstdint>

#include "reception/received_bytes.h"
#include "reception/stream_format.h"

namespace zendrik {

// CRC-16 (polynomial 0x8005, initial value 0, MSB first, no reflection, no final XOR) over a
// run of bytes; "123456789" gives 0xFEE8 and no bytes give 0.
std::uint16_t BlockCrc16(const std::uint8_t* bytes, std::size_t count);

// The same checksum over count stream bytes from position first; positions past the received
// bytes count as 0.
std::uint16_t BlockCrc16(const ReceivedBytes& bytes, std::ptrdiff_t first, std::ptrdiff_t count);

// Whether the bytes start like a transfer (more than 10 bytes, five 0xAA) and, if so, the total
// byte count the transfer will have in the given layout.
bool FindStreamHead(const ReceivedBytes& bytes, StreamLayout layout, std::ptrdiff_t* expected);

// Live check of the blocks received so far (S410/S510 framing only; other layouts pass). Blocks
// not yet complete pass; a complete block with a wrong mark, number or checksum fails.
bool BlockCheckPasses(const ReceivedBytes& bytes, StreamLayout layout);

// The five 0xAA bytes that open every transfer.
bool HasPreamble(const ReceivedBytes& bytes);

// What every decoder asks of a transfer before anything else: more than 20 bytes, the
// preamble and the 0x55 start mark.
bool HasStreamHead(const ReceivedBytes& bytes);

}  // namespace zendrik
