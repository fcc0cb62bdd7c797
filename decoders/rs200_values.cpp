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
