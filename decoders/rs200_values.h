// The value encodings of the RS200/CS200 family (their text forms: formats/rs200_text.h).
#pragma once

#include <string>

#include "decoders/watch_values.h"
#include "decoders/stream_values.h"

namespace zendrik {

// Packed lap times of this family keep an automatic-lap mark in bit 7 of the hours byte.
inline constexpr int kRsHourMask = 0x7F;

// Day in the low five bits of d0, month in its top three bits plus bit 0 of d1 as the fourth,
// years since 2000 in the upper seven bits of d1.
DateValue PackedDate(int d0, int d1);

// The exercise name from its first byte on: at most 15 characters, the last one marked by bit 7;
// code 73 ends the name early. At least one byte is always taken.
std::string DecodeRsName(const ByteView& at);

}  // namespace zendrik
