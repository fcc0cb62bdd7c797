// The CSV text as it is shown, saved and written: the report's TAB-separated lines with the
// separator the user chose.
#pragma once

#include <string>
#include <string_view>

namespace zendrik {

// Replaces each TAB between fields by `separator`. A field that holds the separator or a double
// quote is enclosed in double quotes with its inner quotes doubled, so every CSV reader sees the
// fields the report has; other fields stay as they are. Line ends are kept.
std::string CsvForSeparator(std::string_view tabText, char separator);

}  // namespace zendrik
