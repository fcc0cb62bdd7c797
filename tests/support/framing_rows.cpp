#include "support/framing_rows.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "document/document.h"

namespace zendrik {

namespace testing_streams {

void ExpectFramingRows(const std::vector<FramingRow>& rows,
                       const std::function<void(Document&, const std::vector<std::uint8_t>&)>& decode) {
    Document data;
    for (const FramingRow& row : rows) {
        decode(data, row.bytes);
        EXPECT_EQ(data.Valid(), row.valid ? 1 : 0) << row.what;
        EXPECT_EQ(data.HrmCompat(), "") << row.what;
        if (row.valid) {
            EXPECT_EQ(data.Hrm().rfind("[Params]\r\n", 0), 0u) << row.what;
        } else {
            EXPECT_EQ(data.Hrm(), row.hrm) << row.what;
            EXPECT_EQ(data.Csv(), row.csv) << row.what;
        }
    }
}

std::vector<std::uint8_t> WithByte(std::vector<std::uint8_t> bytes, std::size_t at, std::uint8_t value) {
    bytes.at(at) = value;
    return bytes;
}

std::vector<std::uint8_t> FirstBytes(const std::vector<std::uint8_t>& bytes, std::size_t size) {
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(size, bytes.size()))};
}

}  // namespace testing_streams

}  // namespace zendrik
