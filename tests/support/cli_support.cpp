#include "support/cli_support.h"

#include "document/document.h"
#include "support/s410_stream_builder.h"

namespace zendrik {

namespace testing_streams {

Texts Decoded(const std::vector<std::uint8_t>& bytes) {
    Document data;
    data.DecodeBytes(ToReceived(bytes), ModelBy::StreamHead);
    return {data.Hrm(), data.HrmCompat(), data.Csv()};
}

}  // namespace testing_streams

}  // namespace zendrik
