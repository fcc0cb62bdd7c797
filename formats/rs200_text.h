// The HRM and CSV text forms of the RS200/CS200 family's values: paces, short times, hundredths
// and BCD digits as its reports write them.
#pragma once

#include <string>

#include "formats/report_conventions.h"

namespace zendrik {

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
