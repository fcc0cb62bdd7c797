// The command line of zendrik-cli.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class OutputFormat { Hrm, HrmCompat, Csv, Sld };
enum class ValueFormatChoice { Hrm, Custom, Regional };

struct CCliOptions {
    std::string input;
    int watchModel = 1;
    OutputFormat format = OutputFormat::Hrm;
    char csvSeparator = ';';
    ValueFormatChoice valueFormat = ValueFormatChoice::Hrm;
    std::optional<char> decimal;
    std::optional<char> time;
    std::optional<char> date;
    bool noTenths = false;
    std::optional<std::string> outputPath;
    std::optional<std::string> synthesizePath;
    bool microphone = false;  // record from the default audio input instead of reading INPUT
    int seconds = 120;        // how long --microphone waits for a complete transfer
    bool help = false;
    bool version = false;
};

struct CParseResult {
    bool ok = false;
    CCliOptions options;
    std::string error;  // one line saying what is wrong, when !ok
};

// Parses the arguments after the program name.
CParseResult ParseCliOptions(const std::vector<std::string>& args);

// The --help text.
extern const char* const kCliUsage;
