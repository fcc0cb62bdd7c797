#include "support/cli_support.h"

#include <algorithm>

#include "reception/sonic_link_data.h"
#include "support/s410_stream_builder.h"

namespace testing_streams {

Texts Decoded(const std::vector<std::uint8_t>& bytes) {
    CSonicLinkData data;
    data.m_bytes = ToReceived(bytes);
    data.DetectModelAndDecode();
    return {data.m_strHrm, data.m_strHrmCompat, data.m_strCsv};
}

std::string Replaced(std::string csv, char separator) {
    std::replace(csv.begin(), csv.end(), '\t', separator);
    return csv;
}

}  // namespace testing_streams
