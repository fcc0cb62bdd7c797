// What every report shares: line and field conventions, the fixed HRM forms and the CSV forms
// under the user's value separators. (The watch's own value encodings, which the decoders read,
// are decoders/watch_values.h.)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "decoders/exercise.h"
#include "decoders/watch_values.h"
#include "zendrik_version.h"

namespace zendrik {

// The field separator of the CSV text while it is held and shown; saving replaces it.
inline constexpr std::string_view CsvFieldTab = "\t";

// The one line of every [Note] section, CR LF included.
inline constexpr std::string_view NoteLine =
    "File created with Zendrik, version " ZENDRIK_VERSION_TEXT ", zendrik@example.org\r\n";

// A copy of an HRM line whose first "=" became a TAB, unless the line starts with "=".
std::string HrmLineToCsv(std::string_view line);

// The fixed HRM forms: "%02d:%02d:%02d.%d" and "%4d%02d%02d".
std::string FormatHrmTime(const zendrik::WatchTime& time);
std::string FormatHrmDate(const DateValue& date);

// The value separators of the CSV text, chosen by the user's ValueFormat setting.
struct ValueFormat {
    std::string decimalSep = ".";
    std::string timeSep = ":";
    std::string dateSep = ".";
    bool noTenths = false;

    // "%02d<t>%02d<t>%02d<d>%d", or without the tenths when they are switched off (dropped,
    // not rounded).
    std::string FormatCsvTime(int hours, int minutes, int seconds, int tenths) const;
    std::string FormatCsvTime(const zendrik::WatchTime& time) const {
        return FormatCsvTime(time.hours, time.minutes, time.seconds, time.tenths);
    }
    // "%02d<d>%02d<d>%4d": day, month, year.
    std::string FormatCsvDate(const DateValue& date) const;
    // A count of tenths as integer part, decimal separator, tenth digit.
    std::string FormatCsvTenths(long long tenths) const;
};

// A count of tenths in the fixed HRM form "%d.%d".
std::string FormatHrmTenths(long long tenths);

}  // namespace zendrik
