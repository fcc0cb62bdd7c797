#include "decoders/rs200_values.h"

#include "decoders/text_append.h"

namespace zendrik {

namespace {

constexpr int kMaxNameLength = 15;

}  // namespace

DateValue PackedDate(int d0, int d1) {
    DateValue date;
    date.day = d0 & 0x1F;
    date.month = ((d0 >> 5) & 7) + 8 * (d1 & 1);
    date.year = 2000 + ((d1 >> 1) & 0x7F);
    return date;
}

std::string DecodeRsName(const ByteView& at) {
    std::string name;
    for (int i = 0; i < kMaxNameLength; ++i) {
        const int byte = at[i];
        if (!AppendWatchCharacter(name, byte & 0x7F)) break;
        if (byte & 0x80) break;
    }
    return name;
}

}  // namespace zendrik
