// Appending formatted values to an 8-bit report text without printf: integers are written as
// "%d" would write them, and nothing depends on the process locale.
#pragma once

#include <charconv>
#include <string>
#include <string_view>

namespace zendrik {

// An integer written with a minimum width, padded like "%02d" (with '0') or "%4d" (with ' ').
struct Padded {
    long long value;
    int width;
    char fill;
};
inline Padded ZeroPad(long long value, int width) { return {value, width, '0'}; }
inline Padded SpacePad(long long value, int width) { return {value, width, ' '}; }

namespace text_detail {

inline void Put(std::string& out, std::string_view text) { out.append(text); }
inline void Put(std::string& out, const char* text) { out.append(text); }
inline void Put(std::string& out, const std::string& text) { out.append(text); }
inline void Put(std::string& out, char c) { out.push_back(c); }

inline void Put(std::string& out, Padded p) {
    char digits[24];
    unsigned long long magnitude =
        p.value < 0 ? 0ull - static_cast<unsigned long long>(p.value) : static_cast<unsigned long long>(p.value);
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, magnitude);
    (void)ec;
    const int length = static_cast<int>(end - digits) + (p.value < 0 ? 1 : 0);
    if (p.fill == ' ') out.append(length < p.width ? p.width - length : 0, ' ');
    if (p.value < 0) out.push_back('-');  // "%02d" puts the sign before the zeros
    if (p.fill == '0') out.append(length < p.width ? p.width - length : 0, '0');
    out.append(digits, end);
}

inline void Put(std::string& out, int value) { Put(out, Padded{value, 0, ' '}); }
inline void Put(std::string& out, long value) { Put(out, Padded{value, 0, ' '}); }
inline void Put(std::string& out, long long value) { Put(out, Padded{value, 0, ' '}); }
inline void Put(std::string& out, unsigned value) { Put(out, Padded{value, 0, ' '}); }

}  // namespace text_detail

// Appends each part in turn: texts as they stand, characters, integers as "%d", Padded values.
template <typename... Parts>
void Append(std::string& out, const Parts&... parts) {
    (text_detail::Put(out, parts), ...);
}

// The same parts as a new text.
template <typename... Parts>
std::string Concat(const Parts&... parts) {
    std::string out;
    Append(out, parts...);
    return out;
}

// Four upper-case hexadecimal digits, as "%04X" writes a 16-bit value.
inline std::string Hex4(unsigned value) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out(4, '0');
    for (int i = 3; i >= 0; --i, value >>= 4) out[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    return out;
}

}  // namespace zendrik
