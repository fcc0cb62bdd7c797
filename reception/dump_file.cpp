#include "reception/dump_file.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string_view>

#include "reception/input_file.h"

namespace zendrik {

namespace {

// The digit value of an upper-cased character as dumps have always been read: digits count from
// '0', anything else from 'A' - 10 (so "0G" is 0x10 and "G0" is 256, which no byte has).
// Characters above 0x7F are taken as signed, i.e. negative.
int DigitValue(signed char c) {
    if (c >= 'a' && c <= 'z') c = static_cast<signed char>(c - 'a' + 'A');
    return (c >= '0' && c <= '9') ? c - 48 : c - 55;
}

}  // namespace

void ParseDump(std::istream& in, ReceivedBytes& out) {
    std::streambuf* source = in.rdbuf();
    if (!source) return;
    // Text editors may save the dump with UTF-8's byte-order mark in front; it is no part of the
    // first line. Anywhere else those bytes are characters of a line like any other.
    char head[3] = {};
    const std::streamsize held = std::max<std::streamsize>(source->sgetn(head, 3), 0);
    std::streamsize next = (held == 3 && std::string_view(head, 3) == "\xEF\xBB\xBF") ? 3 : 0;
    const auto bump = [&]() -> int {
        if (next < held) return std::char_traits<char>::to_int_type(head[next++]);
        return source->sbumpc();
    };
    signed char line[2] = {0, 0};
    long long length = 0;  // counted without storing: a line can be as long as the file
    for (;;) {
        int c = bump();
        if (c == std::char_traits<char>::eof()) break;  // a last line without LF is dropped
        if (c == '\r') {
            c = bump();
            if (c == std::char_traits<char>::eof()) break;
        }
        if (c != '\n') {
            if (length < 2) line[length] = static_cast<signed char>(c);
            ++length;
            continue;
        }
        if (length == 2) {
            const int value = 16 * DigitValue(line[0]) + DigitValue(line[1]);
            if (value >= 0 && value <= 255) out.Add(value);
        }
        length = 0;
    }
}

std::string FormatDump(const ReceivedBytes& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(static_cast<std::size_t>(bytes.GetSize()) * 4);
    for (std::int32_t value : bytes.Elements()) {
        text.push_back(kDigits[(value >> 4) & 0xF]);
        text.push_back(kDigits[value & 0xF]);
        text.append("\r\n");
    }
    return text;
}

}  // namespace zendrik
