#include "cli/cli_options.h"

#include <charconv>

const char* const kCliUsage =
    "zendrik-cli [OPTIONS] INPUT\n"
    "zendrik-cli --microphone [--model N] [--seconds S] [OPTIONS]\n"
    "  INPUT                 a .wav or .sld file; the type follows the extension, compared without regard\n"
    "                        to case (as when a file is opened by name); any other extension: exit 1\n"
    "  --model N             watch model code for a WAV recording: 1 S410, 2 Coach, 3 S410/S510,\n"
    "                        4 RS200/CS200 (default 1). A dump's model always comes from its own bytes.\n"
    "  --format F            hrm (default: the Enhanced HRM text) | hrm-compat (the Polar Compatible HRM\n"
    "                        text) | csv | sld (dump of the received bytes)\n"
    "  --csv-separator S     semicolon (default) | comma | tab: every TAB of the CSV text is replaced by it\n"
    "                        on output, as when saving\n"
    "  --value-format V      hrm (default: '.' ':' '.') | custom | regional (the user's locale, with the\n"
    "                        LastNonDigit rule of the main view)\n"
    "  --decimal C --time C --date C    one character each, used with --value-format custom\n"
    "  --no-tenths           drop the tenths of a second from CSV times\n"
    "  -o FILE               write to FILE instead of standard output\n"
    "  --synthesize WAV      instead of decoding: write a SonicLink recording of INPUT's bytes to WAV\n"
    "  --microphone          record a transfer from the default audio input instead of reading INPUT;\n"
    "                        the reading state and progress go to standard error while it listens\n"
    "  --seconds S           how long --microphone waits for a complete transfer (default 120)\n"
    "  --help, --version\n"
    "Exit status: 0 = the report was valid and its bytes were written exactly as the save command writes\n"
    "them (CR LF, no BOM); 3 = decoding ran but the report is not valid: nothing on standard output, no\n"
    "file written, and standard error receives exactly the report text (the error lines); 4 = a dump whose\n"
    "stream head names no known watch model (nothing written); 1 = the input cannot be read or is rejected\n"
    "(missing file, unknown extension, rejected WAV), or the sound device cannot be opened or started; 2 =\n"
    "usage error (with a one-line hint); 5 = no complete transfer arrived within S seconds.\n";

namespace {

CParseResult Fail(std::string message) {
    CParseResult result;
    result.error = std::move(message);
    return result;
}

}  // namespace

CParseResult ParseCliOptions(const std::vector<std::string>& args) {
    CParseResult result;
    CCliOptions& o = result.options;
    bool customCharGiven = false;
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
        } else if (arg == "--model") {
            if (!value(v)) return Fail("--model needs a model code");
            int code = 0;
            auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), code);
            if (ec != std::errc() || end != v.data() + v.size() || code < 1 || code > 4) {
                return Fail("--model takes 1, 2, 3 or 4, not '" + v + "'");
            }
            o.watchModel = code;
        } else if (arg == "--format") {
            if (!value(v)) return Fail("--format needs hrm, hrm-compat, csv or sld");
            if (v == "hrm") {
                o.format = OutputFormat::Hrm;
            } else if (v == "hrm-compat") {
                o.format = OutputFormat::HrmCompat;
            } else if (v == "csv") {
                o.format = OutputFormat::Csv;
            } else if (v == "sld") {
                o.format = OutputFormat::Sld;
            } else {
                return Fail("--format takes hrm, hrm-compat, csv or sld, not '" + v + "'");
            }
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
        } else if (arg == "--decimal" || arg == "--time" || arg == "--date") {
            if (!value(v) || v.size() != 1 || v[0] == '\0') {
                return Fail(arg + " takes exactly one character");
            }
            (arg == "--decimal" ? o.decimal : arg == "--time" ? o.time : o.date) = v[0];
            customCharGiven = true;
        } else if (arg == "-o" || arg == "--output") {
            if (!value(v) || v.empty()) return Fail(arg + " needs a file name");
            o.outputPath = v;
        } else if (arg == "--synthesize") {
            if (!value(v) || v.empty()) return Fail("--synthesize needs the name of the WAV to write");
            o.synthesizePath = v;
        } else if (arg == "--") {
            for (++i; i < args.size(); ++i) {
                if (!o.input.empty()) return Fail("only one INPUT file can be given");
                o.input = args[i];
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Fail("unknown option '" + args[i] + "'");
        } else {
            if (!o.input.empty()) return Fail("only one INPUT file can be given");
            o.input = arg;
        }
    }
    if (o.help || o.version) {
        result.ok = true;
        return result;
    }
    if (o.microphone) {
        if (!o.input.empty()) return Fail("--microphone reads no INPUT file");
        if (o.synthesizePath) return Fail("--synthesize needs an INPUT file, not --microphone");
    } else if (o.input.empty()) {
        return Fail("no INPUT file given");
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
    result.ok = true;
    return result;
}
