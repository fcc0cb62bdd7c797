// Tables of streams and what a decoder must make of them, for the tests of each family's framing
// checks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zendrik {

class Document;

namespace testing_streams {

// A stream and its outcome: a valid report, or exactly these texts and no compatible one.
struct FramingRow {
    const char* what;
    std::vector<std::uint8_t> bytes;
    bool valid;
    std::string hrm, csv;
};

// Decodes the rows in turn into one document, each over the texts the one before left (so a
// failed run after a valid one must replace them), and checks each outcome.
void ExpectFramingRows(const std::vector<FramingRow>& rows,
                       const std::function<void(Document&, const std::vector<std::uint8_t>&)>& decode);

// The bytes with the one at `at` replaced.
std::vector<std::uint8_t> WithByte(std::vector<std::uint8_t> bytes, std::size_t at, std::uint8_t value);
// The first `size` bytes.
std::vector<std::uint8_t> FirstBytes(const std::vector<std::uint8_t>& bytes, std::size_t size);

}  // namespace testing_streams

}  // namespace zendrik
