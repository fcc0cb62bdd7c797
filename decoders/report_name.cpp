#include "decoders/report_name.h"

#include <algorithm>

namespace zendrik {

std::string_view ReportFileExtension(ReportFileType type) {
    switch (type) {
        case ReportFileType::Csv:
            return "csv";
        case ReportFileType::Dump:
            return "sld";
        case ReportFileType::Fit:
            return "fit";
        case ReportFileType::Tcx:
            return "tcx";
        case ReportFileType::Json:
            return "json";
        case ReportFileType::Hrm:
            break;
    }
    return "hrm";
}

std::string ProposedReportName(std::string_view date, ReportFileType type) {
    const bool digits = !date.empty() && std::all_of(date.begin(), date.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    std::string name(digits ? date : std::string_view("exercise"));
    name.push_back('.');
    name.append(ReportFileExtension(type));
    return name;
}

std::string NumberedReportName(std::string_view name, int n) {
    if (n <= 1) return std::string(name);
    const std::size_t dot = name.find_last_of('.');
    const std::size_t stemEnd = dot == std::string_view::npos || dot == 0 ? name.size() : dot;
    std::string numbered(name.substr(0, stemEnd));
    numbered.push_back('-');
    numbered.append(std::to_string(n));
    numbered.append(name.substr(stemEnd));
    return numbered;
}

}  // namespace zendrik
