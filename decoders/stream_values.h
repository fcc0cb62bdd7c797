// Reading the watch's value encodings from the received stream through its bounded accessor.
#pragma once

#include <cstddef>
#include <limits>

#include "decoders/watch_values.h"
#include "reception/received_bytes.h"

namespace zendrik {

// A window onto the stream from a base position; a window onto a block that is not in the
// stream reads as all zeros, as do positions past the received bytes and, when the window has
// an end, positions from that end on.
class ByteView {
public:
    ByteView() = default;
    ByteView(const ReceivedBytes& bytes, std::ptrdiff_t base,
              std::ptrdiff_t end = std::numeric_limits<std::ptrdiff_t>::max())
        : m_bytes(&bytes), m_base(base), m_end(end) {}

    int operator[](std::ptrdiff_t offset) const {
        const std::ptrdiff_t at = m_base + offset;
        return (m_bytes && at < m_end) ? m_bytes->At(at) : 0;
    }
    ByteView operator+(std::ptrdiff_t offset) const {
        ByteView moved = *this;
        moved.m_base += offset;
        return moved;
    }

private:
    const ReceivedBytes* m_bytes = nullptr;
    std::ptrdiff_t m_base = 0;
    std::ptrdiff_t m_end = std::numeric_limits<std::ptrdiff_t>::max();
};

// k BCD bytes, least significant first.
long long BcdNumber(const ByteView& at, int k);

// Seconds, minutes, hours; `hourMask` picks the hour bits (0x3F for the S410 family).
zendrik::WatchTime BcdTimeOfDay(const ByteView& at, int hourMask);

// Tenths in the high nibble of the first byte, then BCD seconds, minutes, hours.
zendrik::WatchTime BcdDuration(const ByteView& at, int hourMask);

// Three bytes e0, e1, e2: seconds and minutes in the low six bits, the tenths split over the two
// top bits of each, and the hours a plain number in e2 & hourMask.
zendrik::WatchTime PackedLapTime(int e0, int e1, int e2, int hourMask);

}  // namespace zendrik
