// What the decoders share about a transfer's blocks: the table of the blocks found, read so
// that a block missing from the stream reads as zeros, and the messages of a failed scan.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "decoders/stream_values.h"
#include "reception/received_bytes.h"

// Most blocks a transfer may announce.
inline constexpr int kMaxBlocks = 20;

class CBlockTable {
public:
    explicit CBlockTable(const CReceivedBytes& bytes) : m_bytes(&bytes) {}

    // Records the next block found: where its data starts and how many data bytes it holds.
    void Add(std::ptrdiff_t dataStart, int length = 0) {
        if (m_count >= kMaxBlocks) return;
        m_start[m_count] = dataStart;
        m_length[m_count] = length;
        ++m_count;
    }

    // Where the transfer's last block ends. Whatever follows it (noise a live reception caught
    // after the transfer, junk appended to a dump) is not part of the transfer, and a layout
    // position that runs past the last block reads zeros there instead.
    void EndsAt(std::ptrdiff_t end) { m_end = end; }

    // Blocks 0 .. Count()-1 were found.
    int Count() const { return m_count; }
    bool Present(std::ptrdiff_t k) const { return k >= 0 && k < m_count; }
    // The data of block k; a block that was not found reads as all zeros (never as the bytes at
    // the start of the stream, and never past the table).
    CByteView Data(std::ptrdiff_t k) const {
        return Present(k) ? CByteView(*m_bytes, m_start[k], m_end) : CByteView();
    }
    std::ptrdiff_t Start(std::ptrdiff_t k) const { return Present(k) ? m_start[k] : 0; }
    int Length(std::ptrdiff_t k) const { return Present(k) ? m_length[k] : 0; }

private:
    const CReceivedBytes* m_bytes;
    std::ptrdiff_t m_start[kMaxBlocks] = {};
    int m_length[kMaxBlocks] = {};
    int m_count = 0;
    std::ptrdiff_t m_end = std::numeric_limits<std::ptrdiff_t>::max();
};

// "Internal Buffer too small (%d Blocks)!\r\n"
void AppendBufferTooSmall(std::string& text, int blocks);

// "CRC Error Block %d: BlockCRC: %04X, expected: %04X\r\n"
void AppendBlockCrcError(std::string& text, int block, unsigned stored, unsigned computed);

// The lines of a text of check messages, each without its line end; empty lines are left out.
std::vector<std::string> MessageLines(std::string_view text);
