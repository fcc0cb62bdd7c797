// The command line of zendrik-cli.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "zendrik/writers.h"

namespace zendrik {

enum class OutputFormat { Hrm, HrmCompat, Csv, Sld, Fit, Tcx, Json };
enum class ValueFormatChoice { Hrm, Custom, Regional };

// What -o and INPUT take for standard output and standard input.
inline constexpr const char* kStandardStream = "-";

struct CliOptions {
    std::vector<std::string> inputs;  // files to decode in turn; "-" is standard input
    int watchModel = 1;
    OutputFormat format = OutputFormat::Hrm;
    char csvSeparator = ';';
    ValueFormatChoice valueFormat = ValueFormatChoice::Hrm;
    std::optional<char> decimal;
    std::optional<char> time;
    std::optional<char> date;
    bool noTenths = false;
    // IANA name of the zone the watch's local times are read in for FIT and TCX; none: the
    // computer's zone.
    std::optional<std::string> timeZone;
    std::optional<std::string> outputPath;  // a file, "-" (standard output) or a folder ending in '/'
    std::optional<std::string> synthesizePath;
    std::optional<std::string> plotPath;  // draw the exercise's chart there (.png or .svg)
    int plotWidth = 1200;
    int plotHeight = 600;
    bool microphone = false;  // record from the default audio input instead of reading INPUT
    int seconds = 120;        // how long --microphone waits for a complete transfer
    bool verbose = false;     // how each recording was received, to standard error
    bool help = false;
    bool version = false;
};

struct ParseResult {
    bool ok = false;
    CliOptions options;
    std::string error;  // one line saying what is wrong, when !ok
    // One line for each option given that does nothing for what is asked (scripts pass the same
    // options whatever the format); the run goes on.
    std::vector<std::string> warnings;
};

// Whether the format is written as binary bytes, which a terminal would garble.
bool IsBinaryFormat(OutputFormat format);

// The format a file of that type holds.
OutputFormat FormatOfFileType(zendrik::ReportFileType type);

// Whether -o names a folder for report files, named by their exercise dates.
bool NamesFolder(const std::string& outputPath);

// Parses the arguments after the program name.
ParseResult ParseCliOptions(const std::vector<std::string>& args);

// The --help text.
extern const char* const kCliUsage;

}  // namespace zendrik
