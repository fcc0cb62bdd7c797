#include "support/cli_support.h"

#include "document/sonic_link_data.h"
#include "support/s410_stream_builder.h"

namespace testing_streams {

Texts Decoded(const std::vector<std::uint8_t>& bytes) {
    CSonicLinkData data;
    data.m_bytes = ToReceived(bytes);
    data.DetectModelAndDecode();
    return {data.m_strHrm, data.m_strHrmCompat, data.m_strCsv};
}

}  // namespace testing_streams
