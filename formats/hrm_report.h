// The HRM and CSV texts of a decoded transfer, rendered from what it holds and never from the
// bytes it was decoded from.
#pragma once

#include <string>

#include "formats/report_conventions.h"
#include "decoders/transfer.h"

namespace zendrik {

// The texts of one report: HRM Enhanced, HRM Polar Compatible (RS200/CS200 only) and CSV, CR LF
// lines, the CSV fields TAB-separated.
struct ReportTexts {
    std::string hrm;
    std::string hrmCompat;
    std::string csv;
};

// The report of a transfer under a value format: its exercise in the texts of the decoder that
// read it, or what its checks found. A transfer nothing decoded gives three empty texts, one
// without a decoder only its check messages.
ReportTexts RenderReport(const Transfer& transfer, const ValueFormat& format);

}  // namespace zendrik
