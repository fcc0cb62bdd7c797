#include "app/report_texts.h"

#include "decoders/csv_text.h"
#include "document/sonic_link_data.h"

const std::string& HrmTextFor(const CSonicLinkData& data, int hrmFormat) {
    // The RS200/CS200 decoder writes both forms; the others leave the compatible one empty.
    if (hrmFormat != 0 && !data.m_strHrmCompat.empty()) return data.m_strHrmCompat;
    return data.m_strHrm;
}

std::string CsvTextFor(const CSonicLinkData& data, char separator) {
    return zendrik::CsvForSeparator(data.m_strCsv, separator);
}
