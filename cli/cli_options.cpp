#include "cli/cli_options.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <utility>

#include "zendrik/families.h"
#include "zendrik/writers.h"

namespace zendrik {

const char* const kCliUsage =
    "zendrik-cli [OPTIONS] INPUT\n"
    "zendrik-cli [OPTIONS] -o DIR/ INPUT...\n"
    "zendrik-cli --microphone [--model N] [--seconds S] [OPTIONS]\n"
    "  INPUT                 a recording or a .sld dump: a file that starts as a sound file is a\n"
    "                        recording, else the extension decides (.sld a dump; .wav, .flac, .ogg,\n"
    "                        .oga, .opus, .mp3, .m4a, .mp4, .aac, .3gp, .amr, .webm, .caf a\n"
    "                        recording), whatever its case; anything else:\n"
    "                        exit 1. - reads standard input: a recording when it starts as a sound\n"
    "                        file (at most 1 GiB), else a dump\n"
    "  --model N             the watch model setting, listed as the desktop program's Properties list\n"
    "                        it: 1 Polar S410/S510 (default), 2 Polar Coach, 4 Polar RS200/CS200\n"
    "                        (beta test); 3, the S410/S510's other code, which saved settings may\n"
    "                        hold, is accepted and works as 1. A recording (a file or the microphone)\n"
    "                        is decoded as this model whichever receiver reads it: when its stream\n"
    "                        head names another, the report is not valid (exit 3) and one line says\n"
    "                        which watch the recording holds. A dump is decoded as the model its\n"
    "                        own bytes name, whatever the setting.\n"
    "  --format F            hrm (default: the Enhanced HRM text) | hrm-compat (the Polar Compatible HRM\n"
    "                        text, RS200/CS200 only) | csv | sld (dump of the received bytes) |\n"
    "                        fit (a FIT activity; binary, so never to a terminal) | tcx (a\n"
    "                        TrainingCenterDatabase v2 activity) | json (the whole transfer)\n"
    "  --timezone ZONE       the time zone the watch's local times are in, for fit and tcx: an IANA\n"
    "                        name such as Europe/Berlin (default: the computer's zone)\n"
    "  --csv-separator S     semicolon (default) | comma | tab: every TAB of the CSV text is replaced by it\n"
    "                        on output, as when saving; a field holding it is quoted\n"
    "  --value-format V      hrm (default: '.' ':' '.') | custom | regional (the user's locale, with the\n"
    "                        LastNonDigit rule of the main view)\n"
    "  --decimal C --time C --date C    one character each, used with --value-format custom\n"
    "  --no-tenths           drop the tenths of a second from CSV times\n"
    "  -o FILE               write to FILE instead of standard output (- is standard output); the\n"
    "                        file is replaced whole or not at all, and never when it is the INPUT.\n"
    "                        Without --format, FILE's extension chooses the format (.hrm, .csv,\n"
    "                        .sld, .fit, .tcx, .json; any other: hrm); a --format given wins, with\n"
    "                        a warning when the extension names another one\n"
    "  -o DIR/               write each report into the folder DIR under the name the save command\n"
    "                        proposes (the exercise date, 20060305.hrm), with -2, -3, ... when taken,\n"
    "                        and print the name of each file written, or 'unchanged: PATH' where\n"
    "                        one already holds the same bytes; needed for several INPUTs. A\n"
    "                        recording of several transfers gives a file for each valid one\n"
    "  --synthesize WAV      instead of decoding: write a SonicLink recording of INPUT's bytes to WAV\n"
    "  --microphone          record a transfer from the default audio input instead of reading INPUT;\n"
    "                        the reading state and progress go to standard error while it listens (on\n"
    "                        a terminal one line kept up to date, elsewhere a line per state and per\n"
    "                        tenth of the bytes), and after a broken block what went wrong and what to do\n"
    "  --seconds S           how long --microphone waits for a complete transfer (default 120)\n"
    "  --verbose             say on standard error how each recording was received: which receiver,\n"
    "                        sample rate, tone, level, SNR, bit period, blocks good; and when nothing\n"
    "                        decodes, what to do about it; a recording of several transfers lists\n"
    "                        them with their times in it\n"
    "  --plot FILE           instead of the report: draw the exercise's chart as FILE (.png or .svg)\n"
    "  --plot-size WxH       the chart's size in pixels (default 1200x600)\n"
    "  --help, --version\n"
    "An option that does nothing for what is asked (--seconds without --microphone, a CSV option\n"
    "with another format, --timezone without fit or tcx) gets a one-line warning on standard error\n"
    "and the run goes on.\n"
    "A recording may hold several transfers, sent one after another: with -o DIR/ each valid one is\n"
    "written (its own bytes with --format sld); to standard output or one -o FILE the first valid one\n"
    "is, and standard error says how many more the recording holds.\n"
    "Exit status: 0 = the report was valid and its bytes were written exactly as the save command writes\n"
    "them (CR LF, no BOM); 3 = decoding ran but the report is not valid: nothing written, and standard\n"
    "error receives, for a recording neither receiver read, a line saying what went wrong and what to\n"
    "do, then the report text (the error lines), or one line saying what was found when the report\n"
    "has none; 4 = a dump whose stream head names no known watch model (nothing written); 1 = the input\n"
    "cannot be read or is rejected (missing file, folder or device, unknown type, rejected WAV), the\n"
    "output cannot be written (also standard output), the exercise cannot be written as FIT or TCX\n"
    "(e.g. a date FIT cannot hold), memory ran out, or the sound device cannot be opened or started;\n"
    "2 = usage error (with a one-line hint), also -o naming the INPUT, hrm-compat for a family without\n"
    "that form, an unknown --timezone and fit to a terminal; 5 = no complete transfer arrived within S\n"
    "seconds. With several INPUTs the status is the highest of theirs; a recording of several transfers\n"
    "gives 0 when one was written, 3 when none is valid.\n";

namespace {

ParseResult Fail(std::string message) {
    ParseResult result;
    result.error = std::move(message);
    return result;
}

}  // namespace

bool IsBinaryFormat(OutputFormat format) {
    return format == OutputFormat::Fit;
}

OutputFormat FormatOfFileType(zendrik::ReportFileType type) {
    switch (type) {
        case zendrik::ReportFileType::Csv: return OutputFormat::Csv;
        case zendrik::ReportFileType::Dump: return OutputFormat::Sld;
        case zendrik::ReportFileType::Fit: return OutputFormat::Fit;
        case zendrik::ReportFileType::Tcx: return OutputFormat::Tcx;
        case zendrik::ReportFileType::Json: return OutputFormat::Json;
        case zendrik::ReportFileType::Hrm: break;
    }
    return OutputFormat::Hrm;
}

bool NamesFolder(const std::string& outputPath) {
    return !outputPath.empty() && outputPath.back() == '/';
}

ParseResult ParseCliOptions(const std::vector<std::string>& args) {
    ParseResult result;
    CliOptions& o = result.options;
    bool customCharGiven = false;
    std::string formatGiven;  // the --format value, when one was given
    // The options given that only some runs use, in the order given, for the warnings.
    std::vector<std::string> given;
    auto note = [&given](const std::string& name) {
        if (std::find(given.begin(), given.end(), name) == given.end()) given.push_back(name);
    };
    auto addInput = [&o](const std::string& input) {
        if (input == kStandardStream &&
            std::find(o.inputs.begin(), o.inputs.end(), input) != o.inputs.end()) {
            return false;
        }
        o.inputs.push_back(input);
        return true;
    };
    const std::string twiceStdin = "standard input (-) can be read only once";
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> inlineValue;
        if (arg.rfind("--", 0) == 0) {
            const std::size_t equals = arg.find('=');
            if (equals != std::string::npos) {
                inlineValue = arg.substr(equals + 1);
                arg.resize(equals);
            }
        }
        // The value of an option: after "=", or the next argument.
        auto value = [&](std::string& out) -> bool {
            if (inlineValue) {
                out = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        auto flagOnly = [&]() { return !inlineValue.has_value(); };

        std::string v;
        if (arg == "--help" || arg == "-h") {
            if (!flagOnly()) return Fail(arg + " takes no value");
            o.help = true;
        } else if (arg == "--version") {
            if (!flagOnly()) return Fail(arg + " takes no value");
            o.version = true;
        } else if (arg == "--no-tenths") {
            if (!flagOnly()) return Fail(arg + " takes no value");
            o.noTenths = true;
            note(arg);
        } else if (arg == "--verbose") {
            if (!flagOnly()) return Fail(arg + " takes no value");
            o.verbose = true;
        } else if (arg == "--microphone") {
            if (!flagOnly()) return Fail(arg + " takes no value");
            o.microphone = true;
        } else if (arg == "--seconds") {
            if (!value(v)) return Fail("--seconds needs a number of seconds");
            int seconds = 0;
            auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), seconds);
            if (ec != std::errc() || end != v.data() + v.size() || seconds < 1 || seconds > 86400) {
                return Fail("--seconds takes a whole number from 1 to 86400, not '" + v + "'");
            }
            o.seconds = seconds;
            note(arg);
        } else if (arg == "--model") {
            if (!value(v)) return Fail("--model needs a model code");
            int code = 0;
            auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), code);
            if (ec != std::errc() || end != v.data() + v.size() || !zendrik::FindFamily(code)) {
                return Fail("--model takes " + zendrik::FamilyCodesText() + ", not '" + v + "'");
            }
            o.watchModel = code;
        } else if (arg == "--format") {
            static const std::pair<const char*, OutputFormat> kFormats[] = {
                {"hrm", OutputFormat::Hrm}, {"hrm-compat", OutputFormat::HrmCompat},
                {"csv", OutputFormat::Csv}, {"sld", OutputFormat::Sld},
                {"fit", OutputFormat::Fit}, {"tcx", OutputFormat::Tcx},
                {"json", OutputFormat::Json}};
            const std::string choices = "hrm, hrm-compat, csv, sld, fit, tcx or json";
            if (!value(v)) return Fail("--format needs " + choices);
            const auto* found = std::find_if(std::begin(kFormats), std::end(kFormats),
                                             [&v](const auto& f) { return v == f.first; });
            if (found == std::end(kFormats)) {
                return Fail("--format takes " + choices + ", not '" + v + "'");
            }
            o.format = found->second;
            formatGiven = v;
            note(arg);
        } else if (arg == "--timezone") {
            // Whether the zone exists is for the zone database to say, when the run starts.
            if (!value(v) || v.empty()) return Fail("--timezone needs a zone name such as Europe/Berlin");
            if (o.timeZone) return Fail("--timezone can be given only once");
            o.timeZone = v;
            note(arg);
        } else if (arg == "--csv-separator") {
            if (!value(v)) return Fail("--csv-separator needs semicolon, comma or tab");
            if (v == "semicolon") {
                o.csvSeparator = ';';
            } else if (v == "comma") {
                o.csvSeparator = ',';
            } else if (v == "tab") {
                o.csvSeparator = '\t';
            } else {
                return Fail("--csv-separator takes semicolon, comma or tab, not '" + v + "'");
            }
            note(arg);
        } else if (arg == "--value-format") {
            if (!value(v)) return Fail("--value-format needs hrm, custom or regional");
            if (v == "hrm") {
                o.valueFormat = ValueFormatChoice::Hrm;
            } else if (v == "custom") {
                o.valueFormat = ValueFormatChoice::Custom;
            } else if (v == "regional") {
                o.valueFormat = ValueFormatChoice::Regional;
            } else {
                return Fail("--value-format takes hrm, custom or regional, not '" + v + "'");
            }
            note(arg);
        } else if (arg == "--decimal" || arg == "--time" || arg == "--date") {
            if (!value(v) || v.size() != 1 || v[0] == '\0') {
                return Fail(arg + " takes exactly one character");
            }
            (arg == "--decimal" ? o.decimal : arg == "--time" ? o.time : o.date) = v[0];
            customCharGiven = true;
            note(arg);
        } else if (arg == "-o" || arg == "--output") {
            if (!value(v) || v.empty()) return Fail(arg + " needs a file name");
            // Two outputs are a mistake in the script, not a choice of the last one.
            if (o.outputPath) return Fail("-o can be given only once");
            o.outputPath = v;
            note("-o");
        } else if (arg == "--synthesize") {
            if (!value(v) || v.empty() || NamesFolder(v)) {
                return Fail("--synthesize needs the name of the WAV to write");
            }
            if (o.synthesizePath) return Fail("--synthesize can be given only once");
            o.synthesizePath = v;
        } else if (arg == "--plot") {
            if (!value(v) || v.empty() || NamesFolder(v)) {
                return Fail("--plot needs the name of the .png or .svg file to draw");
            }
            if (o.plotPath) return Fail("--plot can be given only once");
            o.plotPath = v;
        } else if (arg == "--plot-size") {
            if (!value(v)) return Fail("--plot-size needs WIDTHxHEIGHT");
            const std::size_t x = v.find('x');
            int w = 0;
            int h = 0;
            const char* mid = v.data() + (x == std::string::npos ? v.size() : x);
            auto [wEnd, wEc] = std::from_chars(v.data(), mid, w);
            auto [hEnd, hEc] = x == std::string::npos ? std::from_chars_result{mid, std::errc::invalid_argument}
                                                      : std::from_chars(mid + 1, v.data() + v.size(), h);
            if (wEc != std::errc() || hEc != std::errc() || wEnd != mid || hEnd != v.data() + v.size() ||
                w < 16 || h < 16 || w > 8000 || h > 8000) {
                return Fail("--plot-size takes WIDTHxHEIGHT, each 16 to 8000 pixels, not '" + v + "'");
            }
            o.plotWidth = w;
            o.plotHeight = h;
            note(arg);
        } else if (arg == "--") {
            for (++i; i < args.size(); ++i) {
                if (!addInput(args[i])) return Fail(twiceStdin);
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Fail("unknown option '" + args[i] + "'");
        } else {
            if (!addInput(arg)) return Fail(twiceStdin);
        }
    }
    if (o.help || o.version) {
        result.ok = true;
        return result;
    }
    if (o.microphone) {
        if (!o.inputs.empty()) return Fail("--microphone reads no INPUT file");
        if (o.synthesizePath) return Fail("--synthesize needs an INPUT file, not --microphone");
    } else if (o.inputs.empty()) {
        return Fail("no INPUT file given");
    }
    if (o.plotPath && (o.microphone || o.synthesizePath || o.inputs.size() != 1)) {
        return Fail("--plot draws the exercise of one INPUT file");
    }
    if (o.synthesizePath && o.inputs.size() > 1) return Fail("--synthesize takes one INPUT file");
    if (o.inputs.size() > 1 && !o.synthesizePath && !(o.outputPath && NamesFolder(*o.outputPath))) {
        return Fail("several INPUT files need -o DIR/ (a folder, with the final /) for their reports");
    }
    // Without --format the output file's extension says what it is to hold (ride.fit a FIT file);
    // an explicit --format wins, with a word when the name promises another kind of file.
    if (o.outputPath && *o.outputPath != kStandardStream && !NamesFolder(*o.outputPath) &&
        !o.synthesizePath && !o.plotPath) {
        if (const std::optional<zendrik::ReportFileType> type = zendrik::ReportFileTypeOfName(*o.outputPath)) {
            const OutputFormat named = FormatOfFileType(*type);
            if (formatGiven.empty()) {
                o.format = named;
            } else if (named != o.format && !(named == OutputFormat::Hrm && o.format == OutputFormat::HrmCompat)) {
                result.warnings.push_back("-o " + *o.outputPath + " names a ." +
                                          std::string(zendrik::ReportFileExtension(*type)) +
                                          " file; writing --format " + formatGiven + " into it as asked");
            }
        }
    }
    if (customCharGiven && o.valueFormat != ValueFormatChoice::Custom) {
        return Fail("--decimal, --time and --date go with --value-format custom");
    }
    if (o.valueFormat == ValueFormatChoice::Custom && o.format == OutputFormat::Csv) {
        for (const std::optional<char>& c : {o.decimal, o.time, o.date}) {
            if (c && *c == o.csvSeparator) {
                return Fail("a custom separator must differ from the CSV separator");
            }
        }
    }
    for (const std::string& name : given) {
        if (name == "--plot-size") {
            if (!o.plotPath) result.warnings.push_back("--plot-size applies to --plot only; ignored");
        } else if (o.plotPath && name != "--seconds") {
            result.warnings.push_back(name + " does not apply to --plot; ignored");
        } else if (o.synthesizePath && name != "--seconds") {
            result.warnings.push_back(name + " does not apply to --synthesize; ignored");
        } else if (name == "--seconds" && !o.microphone) {
            result.warnings.push_back("--seconds applies to --microphone only; ignored");
        } else if (name == "--timezone") {
            if (o.format != OutputFormat::Fit && o.format != OutputFormat::Tcx) {
                result.warnings.push_back("--timezone applies to --format fit and tcx only; ignored");
            }
        } else if (o.format != OutputFormat::Csv && name != "--seconds" && name != "--format" &&
                   name != "-o") {
            result.warnings.push_back(name + " applies to --format csv only; ignored");
        }
    }
    result.ok = true;
    return result;
}

}  // namespace zendrik
