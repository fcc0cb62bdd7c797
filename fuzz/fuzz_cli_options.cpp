// Any command line: the input split at NUL bytes into arguments. A parse either fails with a
// reason or gives options that hang together (and warnings of one line each), and those options
// written out again as a command line parse to the same options.
#include <algorithm>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "fuzz_support.h"

using namespace zendrik;

namespace {

bool SameOptions(const CliOptions& a, const CliOptions& b) {
    return a.inputs == b.inputs && a.watchModel == b.watchModel && a.format == b.format &&
           a.csvSeparator == b.csvSeparator && a.valueFormat == b.valueFormat &&
           a.decimal == b.decimal && a.time == b.time && a.date == b.date &&
           a.noTenths == b.noTenths && a.timeZone == b.timeZone && a.outputPath == b.outputPath &&
           a.synthesizePath == b.synthesizePath && a.microphone == b.microphone &&
           a.verbose == b.verbose &&
           a.seconds == b.seconds && a.help == b.help && a.version == b.version &&
           a.plotPath == b.plotPath && a.plotWidth == b.plotWidth && a.plotHeight == b.plotHeight;
}

// The options as one canonical command line.
std::vector<std::string> Arguments(const CliOptions& o) {
    static const char* const kFormats[] = {"hrm", "hrm-compat", "csv", "sld", "fit", "tcx", "json"};
    static const char* const kValueFormats[] = {"hrm", "custom", "regional"};
    std::vector<std::string> args = {
        "--model=" + std::to_string(o.watchModel),
        std::string("--format=") + kFormats[static_cast<int>(o.format)],
        std::string("--csv-separator=") +
            (o.csvSeparator == ';' ? "semicolon" : o.csvSeparator == ',' ? "comma" : "tab"),
        std::string("--value-format=") + kValueFormats[static_cast<int>(o.valueFormat)],
        "--seconds=" + std::to_string(o.seconds),
        "--plot-size=" + std::to_string(o.plotWidth) + "x" + std::to_string(o.plotHeight),
    };
    if (o.decimal) args.push_back(std::string("--decimal=") + *o.decimal);
    if (o.time) args.push_back(std::string("--time=") + *o.time);
    if (o.date) args.push_back(std::string("--date=") + *o.date);
    if (o.noTenths) args.push_back("--no-tenths");
    if (o.timeZone) args.push_back("--timezone=" + *o.timeZone);
    if (o.microphone) args.push_back("--microphone");
    if (o.verbose) args.push_back("--verbose");
    if (o.outputPath) args.push_back("--output=" + *o.outputPath);
    if (o.synthesizePath) args.push_back("--synthesize=" + *o.synthesizePath);
    if (o.plotPath) args.push_back("--plot=" + *o.plotPath);
    if (!o.inputs.empty()) {
        args.push_back("--");
        args.insert(args.end(), o.inputs.begin(), o.inputs.end());
    }
    return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (size > 0) args.push_back(current);

    const ParseResult parsed = ParseCliOptions(args);
    if (!parsed.ok) {
        fuzzing::Require(!parsed.error.empty(), "a failed parse says why");
        return 0;
    }
    fuzzing::Require(parsed.error.empty(), "a good parse has no complaint");
    for (const std::string& warning : parsed.warnings) {
        fuzzing::Require(!warning.empty() && warning.find('\n') == std::string::npos,
                         "a warning is one line");
    }
    const CliOptions& o = parsed.options;
    fuzzing::Require(o.watchModel >= 1 && o.watchModel <= 4, "model code 1-4");
    fuzzing::Require(o.seconds >= 1 && o.seconds <= 86400, "seconds 1-86400");
    fuzzing::Require(o.csvSeparator == ';' || o.csvSeparator == ',' || o.csvSeparator == '\t',
                     "a CSV separator the save command knows");
    for (const std::optional<char>& c : {o.decimal, o.time, o.date}) {
        fuzzing::Require(!c || *c != '\0', "a custom separator is a character");
    }
    fuzzing::Require(!o.outputPath || !o.outputPath->empty(), "an output file has a name");
    fuzzing::Require(!o.synthesizePath || !o.synthesizePath->empty(), "a recording to write has a name");
    fuzzing::Require(!o.timeZone || !o.timeZone->empty(), "a time zone has a name");
    if (o.help || o.version) return 0;

    fuzzing::Require(o.microphone ? o.inputs.empty() && !o.synthesizePath : !o.inputs.empty(),
                     "a file to read or the microphone, not both");
    fuzzing::Require(std::count(o.inputs.begin(), o.inputs.end(), kStandardStream) <= 1,
                     "standard input is read once");
    fuzzing::Require(o.inputs.size() <= 1 || (!o.synthesizePath && o.outputPath &&
                                              NamesFolder(*o.outputPath)),
                     "several inputs only into a folder");
    fuzzing::Require(o.plotWidth >= 16 && o.plotWidth <= 8000 && o.plotHeight >= 16 &&
                         o.plotHeight <= 8000,
                     "plot size 16-8000 each way");
    fuzzing::Require(!o.plotPath || (o.inputs.size() == 1 && !o.microphone && !o.synthesizePath),
                     "a plot is drawn of one input");
    fuzzing::Require(!o.synthesizePath || !NamesFolder(*o.synthesizePath),
                     "a recording is written to a file");
    const bool customChars = o.decimal || o.time || o.date;
    fuzzing::Require(!customChars || o.valueFormat == ValueFormatChoice::Custom,
                     "custom separators only with the custom value format");
    if (o.valueFormat == ValueFormatChoice::Custom && o.format == OutputFormat::Csv) {
        for (const std::optional<char>& c : {o.decimal, o.time, o.date}) {
            fuzzing::Require(!c || *c != o.csvSeparator, "a custom separator differs from the CSV one");
        }
    }

    const ParseResult again = ParseCliOptions(Arguments(o));
    fuzzing::Require(again.ok && SameOptions(again.options, o), "options written out parse the same");
    return 0;
}
