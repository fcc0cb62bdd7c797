#include "formats/rs200_text.h"

#include "decoders/text_append.h"

namespace zendrik {

std::string FormatHrmPace(int pace) {
    return Concat(ZeroPad(pace / 600, 2), ':', ZeroPad(pace % 600 / 10, 2), '.', pace % 10);
}

std::string FormatCsvShortTime(const ValueFormat& format, int first, int second, int tenths) {
    std::string out = Concat(ZeroPad(first, 2), format.timeSep, ZeroPad(second, 2));
    if (!format.noTenths) Append(out, format.decimalSep, tenths);
    return out;
}

std::string FormatCsvPace(const ValueFormat& format, int pace) {
    return FormatCsvShortTime(format, pace / 600, pace % 600 / 10, pace % 10);
}

std::string FormatHrmHundredths(long long hundredths) {
    return Concat(hundredths / 100, '.', ZeroPad(hundredths % 100, 2));
}

std::string FormatCsvHundredths(const ValueFormat& format, long long hundredths) {
    return Concat(hundredths / 100, format.decimalSep, ZeroPad(hundredths % 100, 2));
}

char HexDigit(int nibble) {
    return "0123456789abcdef"[nibble & 0x0F];
}

std::string BcdDigits(int byte) {
    return {HexDigit(byte >> 4), HexDigit(byte)};
}

}  // namespace zendrik
