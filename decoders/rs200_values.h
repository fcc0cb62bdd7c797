// The value encodings of the RS200/CS200 family and their HRM and CSV text forms.
#pragma once

#include <string>

#include "decoders/report_conventions.h"
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

// A pace (tenths of a second per distance unit) as "%02d:%02d.%1d": minutes, seconds, tenths.
std::string FormatHrmPace(int pace);

// "%02d<t>%02d<d>%d", or "%02d<t>%02d" when tenths are switched off.
std::string FormatCsvShortTime(const ValueFormat& format, int first, int second, int tenths);

// A pace in its CSV form: minutes, seconds and tenths through FormatCsvShortTime.
std::string FormatCsvPace(const ValueFormat& format, int pace);

// A count of hundredths with two decimals, "%d.%02d" (1230 gives 12.30, 5 gives 0.05).
std::string FormatHrmHundredths(long long hundredths);

// The same with the user's decimal separator.
std::string FormatCsvHundredths(const ValueFormat& format, long long hundredths);

// A BCD byte digit for digit, as "%02x" shows it: 0x59 gives 59, 0x5A gives 5a.
std::string BcdDigits(int byte);

// One lower-case hexadecimal digit of the low nibble, as "%x" shows 0-15.
char HexDigit(int nibble);

}  // namespace zendrik
