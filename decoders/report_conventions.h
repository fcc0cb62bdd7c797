// What every report shares: line and field conventions, the watch's value encodings, the fixed
// HRM forms and the CSV forms under the user's value separators.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "decoders/exercise.h"
#include "zendrik_version.h"

namespace zendrik {

// The field separator of the CSV text while it is held and shown; saving replaces it.
inline constexpr std::string_view CsvFieldTab = "\t";

// The one line of every [Note] section, CR LF included.
inline constexpr std::string_view NoteLine =
    "File created with Zendrik, version " ZENDRIK_VERSION_TEXT ", zendrik@example.org\r\n";

// The watch's character set: code c is character c for 0-72, 73 ends a name, 74-255 is "~".
inline constexpr std::string_view WatchCharset =
    "0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-%/()*+.:?";
inline constexpr int kWatchCharsetEnd = 73;

// Appends the character of watch code `code` to name; returns false when the code ends the name.
bool AppendWatchCharacter(std::string& name, int code);

// Two BCD digits of the low byte: 0x59 gives 59; nibbles above 9 are taken as they are.
int BcdToInt(int value);

// A copy of an HRM line whose first "=" became a TAB, unless the line starts with "=".
std::string HrmLineToCsv(std::string_view line);

// A time or duration split into its fields, as the watch sent them.

struct DateValue {
    int year = 0;
    int month = 0;
    int day = 0;
};

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

// Lowest heart rate over the samples covering [from, to] seconds at `interval` seconds per
// sample, both ends included; 0 when the range is empty or there is nothing to look at.
int MinHrInRange(const std::int32_t* hr, int count, int from, int to, int interval);

// The three heart-rate zones of a sampled exercise: their limits, and the time below (< lower),
// in and above (>= upper) each, every sample standing for `interval` seconds.
std::vector<zendrik::Zone> SampledZones(const int (&lower)[3], const int (&upper)[3],
                                        const std::vector<int>& hr, int interval);

}  // namespace zendrik
