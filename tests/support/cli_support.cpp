#include "support/cli_support.h"

#include "document/document.h"
#include "support/s410_stream_builder.h"

namespace zendrik {

namespace testing_streams {

Texts Decoded(const std::vector<std::uint8_t>& bytes) {
    Document data;
    data.m_bytes = ToReceived(bytes);
    data.DetectModelAndDecode();
    return {data.m_hrm, data.m_hrmCompat, data.m_csv};
}

}  // namespace testing_streams

}  // namespace zendrik
