// What the harnesses share: taking control values from the front of a fuzz input, stopping
// loudly when an invariant breaks, and the checks every report text must pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace zendrik {

namespace fuzzing {

// Reads control values from the front of the input; what is left is the payload.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    // The next byte, or 0 once the input is used up.
    std::uint8_t Byte() {
        if (m_size == 0) return 0;
        --m_size;
        return *m_data++;
    }
    std::uint16_t Word() {
        const unsigned low = Byte();
        return static_cast<std::uint16_t>(low | (unsigned{Byte()} << 8));
    }

    const std::uint8_t* Rest() const { return m_data; }
    std::size_t RestSize() const { return m_size; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

// Stops the run so the fuzzer keeps the input: a broken invariant is a finding like a crash.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

inline void Require(bool holds, const char* what) {
    if (!holds) Fail(what);
}

// Every report text is empty or a run of whole lines: each LF comes after a CR, and the
// text ends with CR LF. Separators chosen by the user never include line ends.
inline bool IsWholeCrLfLines(std::string_view text) {
    if (text.empty()) return true;
    if (text.size() < 2 || text.substr(text.size() - 2) != "\r\n") return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
    }
    return true;
}

inline std::size_t CountLines(std::string_view text) {
    std::size_t lines = 0;
    for (char c : text) lines += c == '\n';
    return lines;
}

}  // namespace fuzzing

}  // namespace zendrik
