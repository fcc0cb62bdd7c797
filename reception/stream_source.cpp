#include "reception/stream_source.h"

#include <algorithm>
#include <cstdio>

namespace zendrik {

bool StreamSource::Attach(std::istream& in) {
    in.clear();
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (!in || size < 0) return false;
    in.seekg(0);
    in_ = &in;
    size_ = size;
    position_ = 0;
    return true;
}

std::int64_t StreamSource::Read(void* buffer, std::int64_t count) {
    if (!in_ || count <= 0 || position_ >= size_) return 0;
    count = std::min(count, size_ - position_);
    in_->clear();
    in_->seekg(position_);
    in_->read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
    const std::int64_t got = std::max<std::streamsize>(in_->gcount(), 0);
    position_ += got;
    return got;
}

std::int64_t StreamSource::Seek(std::int64_t offset, int whence) {
    std::int64_t base = 0;
    if (whence == SEEK_CUR) {
        base = position_;
    } else if (whence == SEEK_END) {
        base = size_;
    } else if (whence != SEEK_SET) {
        return -1;
    }
    // Offsets come from the file's own size fields. Both bases lie within the stream, so an
    // offset no larger than it keeps the sum from overflowing.
    if (offset > size_ || offset < -size_) return -1;
    const std::int64_t target = base + offset;
    if (target < 0 || target > size_) return -1;
    position_ = target;
    return target;
}

}  // namespace zendrik
