// The user's ten persisted choices, each a signed 32-bit integer named as it is stored.
#pragma once

#include <cstdint>

class QSettings;

namespace zendrik {

struct Settings {
    std::int32_t WatchModel = 1;
    std::int32_t ComPort = 0;
    std::int32_t DisplayMode = 0;   // 1 CSV, anything else HRM
    std::int32_t CsvSeparator = 0;  // 1 comma, 2 tabulator, anything else semicolon
    std::int32_t HrmFormat = 0;     // 0 Enhanced, anything else Polar Compatible
    std::int32_t ValueFormat = 1;   // 0 regional, 2 custom, anything else HRM formatting
    std::int32_t Disable10thSeconds = 0;
    std::int32_t DecimalSeparator = '.';
    std::int32_t TimeSeparator = ':';
    std::int32_t DateSeparator = '.';
};

enum DisplayModeValue { kDisplayHrm = 0, kDisplayCsv = 1 };
enum ValueFormatValue { kRegionalSettings = 0, kHrmFormatting = 1, kCustomSeparators = 2 };

// Reads each value from group "Settings", keeping the current one where none is stored (or the
// stored one is not an integer). Values are taken as they are, in range or not.
void LoadSettings(QSettings& store, Settings& settings);

// Writes all ten values into group "Settings".
void SaveSettings(QSettings& store, const Settings& settings);

// The character the save command puts between CSV fields.
char CsvSeparatorChar(const Settings& settings);

}  // namespace zendrik
