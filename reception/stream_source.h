// A seekable stream read within the size it had when attached: what the audio libraries read a
// recording through, so a named file and standard input (held in memory) are read the same way
// and nothing but the stream is touched.
#pragma once

#include <cstdint>
#include <istream>

namespace zendrik {

class StreamSource {
public:
    // Measures `in` from its end and goes back to its start; false when it cannot be sought.
    bool Attach(std::istream& in);

    // Up to `count` bytes from the position into `buffer`; how many were read (0 at the end).
    std::int64_t Read(void* buffer, std::int64_t count);
    // Moves to `offset` from the start, the position or the end (SEEK_SET, SEEK_CUR, SEEK_END);
    // the new position, or -1 for a place outside the stream or another `whence`.
    std::int64_t Seek(std::int64_t offset, int whence);

    std::int64_t Size() const { return size_; }
    std::int64_t Position() const { return position_; }

private:
    std::istream* in_ = nullptr;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
};

}  // namespace zendrik
