// The HRM text and the CSV text of one report, written side by side line by line.
#pragma once

#include <string>

#include "formats/report_conventions.h"
#include "decoders/text_append.h"

namespace zendrik {

struct ReportPair {
    std::string& he;
    std::string& csv;

    // A parameter line in both texts; the CSV text gets it with its "=" turned into a TAB.
    template <typename... Parts>
    void Both(const Parts&... parts) {
        const std::size_t start = he.size();
        Append(he, parts...);
        csv += HrmLineToCsv(std::string_view(he).substr(start));
    }
    template <typename... Parts>
    void He(const Parts&... parts) {
        Append(he, parts...);
    }
    template <typename... Parts>
    void Csv(const Parts&... parts) {
        Append(csv, parts...);
    }
};

}  // namespace zendrik
