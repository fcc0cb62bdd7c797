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

namespace {

// Where the number goes in a name: before its extension, or at its end when it has none.
std::size_t StemEnd(std::string_view name) {
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string_view::npos || dot == 0 ? name.size() : dot;
}

}  // namespace

std::string NumberedReportName(std::string_view name, int n) {
    if (n <= 1) return std::string(name);
    const std::size_t stemEnd = StemEnd(name);
    std::string numbered(name.substr(0, stemEnd));
    numbered.push_back('-');
    numbered.append(std::to_string(n));
    numbered.append(name.substr(stemEnd));
    return numbered;
}

int NumberOfReportName(std::string_view candidate, std::string_view name) {
    if (candidate == name) return 1;
    const std::string_view stem = name.substr(0, StemEnd(name));
    const std::string_view extension = name.substr(stem.size());
    if (candidate.size() <= stem.size() + 1 + extension.size() || candidate.substr(0, stem.size()) != stem ||
        candidate[stem.size()] != '-' || !candidate.ends_with(extension)) {
        return 0;
    }
    const std::string_view digits =
        candidate.substr(stem.size() + 1, candidate.size() - stem.size() - 1 - extension.size());
    // NumberedReportName writes no leading zero and no number a name search would not reach.
    if (digits.size() > 9 || digits.front() == '0') return 0;
    int n = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    return n >= 2 ? n : 0;
}

std::optional<ReportFileType> ReportFileTypeOfName(std::string_view name) {
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos) return std::nullopt;
    std::string extension(name.substr(dot + 1));
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (const ReportFileType type : {ReportFileType::Hrm, ReportFileType::Csv, ReportFileType::Dump,
                                      ReportFileType::Fit, ReportFileType::Tcx, ReportFileType::Json}) {
        if (extension == ReportFileExtension(type)) return type;
    }
    return std::nullopt;
}

}  // namespace zendrik
