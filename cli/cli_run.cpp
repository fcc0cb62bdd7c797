#include "cli/cli_run.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "platform/zone_database.h"
#include "zendrik/writers.h"
#include "zendrik/families.h"
#include "platform/regional_format.h"
#include "platform/whole_file.h"
#include "zendrik/reception.h"
#include "document/document.h"

namespace zendrik {

namespace {

using zendrik::InputKind;

// Most bytes a recording on standard input may hold. It has to be held in memory to be read
// (the reader seeks), and 1 GiB is well over an hour of 16-bit stereo at 44100 samples per
// second, where the longest transfer lasts about a minute and a half.
constexpr std::size_t kMaxPipedRecordingBytes = std::size_t{1} << 30;

std::string Prefix(const std::string& name) {
    return name.empty() ? "zendrik-cli: " : "zendrik-cli: " + name + ": ";
}

// Standard input read whole (the readers seek), within the limit of what its first bytes say
// it is: a sound file says so in them, anything else can only be a dump.
struct HeldInput {
    std::istringstream stream;
    InputKind kind = InputKind::Unknown;
};

// "" or why standard input cannot be had.
std::string HoldStandardInput(HeldInput& held) {
    std::string head(16, '\0');
    std::cin.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(std::max<std::streamsize>(std::cin.gcount(), 0)));
    const bool recording = zendrik::InputKindByContent(head) == InputKind::Recording;
    held.kind = recording ? InputKind::Recording : InputKind::Dump;
    const std::size_t limit = recording ? kMaxPipedRecordingBytes : zendrik::kMaxDumpFileBytes;
    std::string rest;
    if (!zendrik::ReadAtMost(std::cin, limit - head.size(), rest)) {
        return recording ? "larger than any recording read from standard input (more than 1 GiB)"
                         : "larger than any dump (more than 16 MB)";
    }
    if (std::cin.bad()) return "standard input cannot be read";
    // Into the room the rest already has, so a large recording is not held twice.
    rest.insert(0, head);
    held.stream = std::istringstream(std::move(rest));
    return {};
}

// An INPUT opened into `data` and decoded as the options say, with its name for messages; when it
// failed, says why on `err`.
Opened OpenInput(const CliOptions& o, const std::string& path, Document& data, std::string& name,
                 std::ostream& err) {
    Opened opened;
    if (path != kStandardStream) {
        name = path;
        opened = data.Open({.path = path}, SettingsFor(o));
    } else {
        name = "standard input";
        HeldInput held;
        const std::string why = HoldStandardInput(held);
        if (!why.empty()) {
            err << Prefix(name) << why << "\n";
            return opened;
        }
        opened = data.Open({.path = name, .stream = &held.stream, .fallback = held.kind}, SettingsFor(o));
    }
    if (opened.outcome != OpenOutcome::Opened) err << Prefix(name) << data.ReadError() << "\n";
    return opened;
}

// Whether two paths name the same file, through links and other spellings of the path.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

// -o or --synthesize naming an INPUT would destroy what is being read: refused before anything
// is read or written.
bool OutputIsAnInput(const CliOptions& o, std::ostream& err) {
    const std::optional<std::string>& output = o.synthesizePath ? o.synthesizePath : o.outputPath;
    if (!output || *output == kStandardStream || NamesFolder(*output)) return false;
    for (const std::string& input : o.inputs) {
        if (input == kStandardStream || !SameFile(input, *output)) continue;
        err << "zendrik-cli: " << (o.synthesizePath ? "--synthesize" : "-o") << " names the INPUT "
            << input << " itself; choose another file (try 'zendrik-cli --help')\n";
        return true;
    }
    return false;
}

// The folder of -o DIR/ must be there before anything is read or recorded.
bool FolderIsMissing(const CliOptions& o, std::ostream& err) {
    if (!o.outputPath || !NamesFolder(*o.outputPath) || o.synthesizePath) return false;
    std::error_code error;
    if (std::filesystem::is_directory(*o.outputPath, error)) return false;
    err << "zendrik-cli: " << *o.outputPath << ": not a folder that exists\n";
    return true;
}

// Writes the bytes where -o says: standard output, a file replaced whole, or a new file in a
// folder (whose name then goes to standard output).
int Emit(const std::optional<std::string>& target, std::string_view bytes,
         zendrik::ReportFileType type, const std::string& date, std::ostream& out,
         std::ostream& err) {
    if (!target || *target == kStandardStream) return WriteStandardOutput(bytes, out, err);
    if (NamesFolder(*target)) {
        const zendrik::NewFile written =
            zendrik::WriteNewFileIn(*target, zendrik::ProposedReportName(date, type), bytes);
        if (!written.error.empty()) {
            err << "zendrik-cli: cannot write into " << *target << ": " << written.error << "\n";
            return kExitInput;
        }
        return WriteStandardOutput((written.unchanged ? "unchanged: " : "") + written.path + "\n",
                                   out, err);
    }
    const zendrik::FileWrite written = zendrik::ReplaceFileWith(*target, bytes);
    if (!written.Ok()) {
        err << "zendrik-cli: cannot write " << *target << ": " << written.error << "\n";
        return kExitInput;
    }
    return kExitOk;
}

bool UsesTimeZone(const CliOptions& o) {
    return !o.synthesizePath && (o.format == OutputFormat::Fit || o.format == OutputFormat::Tcx);
}

// The zone --timezone names (checked by RunCli before anything is read), else the computer's.
zendrik::TimeZone ExportZone(const CliOptions& o) {
    if (o.timeZone) {
        if (std::optional<zendrik::TimeZone> named = ZoneNamed(*o.timeZone)) {
            return *named;
        }
    }
    return SystemZone();
}

// A zone the database does not know is a mistake in the command, found before any input is
// read or a recording started.
bool TimeZoneIsUnknown(const CliOptions& o, std::ostream& err) {
    if (!o.timeZone || !UsesTimeZone(o) || ZoneNamed(*o.timeZone)) return false;
    err << "zendrik-cli: unknown time zone '" << *o.timeZone
        << "'; give an IANA name such as Europe/Berlin or UTC (try 'zendrik-cli --help')\n";
    return true;
}

// The exercise as a FIT or TCX file in the zone of the options.
int EmitExport(const CliOptions& o, const Document& data, const std::string& inputName,
               std::ostream& out, std::ostream& err) {
    const zendrik::ReportFileType type =
        o.format == OutputFormat::Fit ? zendrik::ReportFileType::Fit : zendrik::ReportFileType::Tcx;
    const zendrik::ExportResult file = ExerciseFile(data, type, ExportZone(o));
    if (!file.Ok()) {
        err << Prefix(inputName) << file.error << "\n";
        return kExitInput;
    }
    return Emit(o.outputPath, file.data, type, data.Date(), out, err);
}

int Synthesize(const CliOptions& o, std::ostream& out, std::ostream& err) {
    std::string name;
    Document data;
    // A dump is sent again whatever its head names: only why an input cannot be read is told.
    std::ostringstream why;
    const Opened opened = OpenInput(o, o.inputs.front(), data, name, why);
    if (opened.outcome == OpenOutcome::Unreadable) {
        err << why.str();
        return kExitInput;
    }
    // A transfer names its family, and with it the bit timing to send at.
    const zendrik::Family* named = zendrik::FamilyOfStream(data.Bytes());
    const zendrik::Family& family = named ? *named : zendrik::FamilyOrFirst(o.watchModel);
    std::vector<std::uint8_t> bytes;
    for (std::int32_t value : data.Bytes().Elements()) bytes.push_back(static_cast<std::uint8_t>(value));
    const ModulatorSettings settings = ModulatorSettingsFor(family.stream.at44100);
    std::ostringstream wave;
    if (!WriteWaveStream(wave, ModulateBytes(bytes, settings), settings.sampleRate)) {
        err << "zendrik-cli: cannot make the recording " << *o.synthesizePath << "\n";
        return kExitInput;
    }
    return Emit(o.synthesizePath, wave.view(), zendrik::ReportFileType::Dump, {}, out, err);
}

// A time in the recording as minutes and seconds to a tenth: 1:05.3.
std::string RecordingTime(double seconds) {
    const long long tenths = std::llround(std::max(0.0, seconds) * 10.0);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%lld", tenths / 600, tenths / 10 % 60, tenths % 10);
    return text;
}

// --verbose for a recording of several transfers: each with where it sounds, its family and
// exercise, and whether it is valid under the watch model setting.
void ListTransfers(const Document& data, const std::vector<zendrik::Transfer>& decoded,
                   const std::string& inputName, std::ostream& err) {
    err << Prefix(inputName) << decoded.size() << " transfers in the recording:\n";
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        const RecordedTransfer& recorded = data.Recorded()[i];
        const zendrik::Family* family = zendrik::FamilyOfStream(recorded.bytes);
        char length[32];
        std::snprintf(length, sizeof length, "%.1f s", recorded.seconds);
        err << "  " << i + 1 << ". at " << RecordingTime(recorded.startSeconds) << " for " << length
            << ": " << (family ? family->phrase : "an unknown") << " transfer";
        if (const std::optional<zendrik::Exercise>& exercise = decoded[i].exercise) {
            char when[64];
            std::snprintf(when, sizeof when, ", exercise of %04d-%02d-%02d %02d:%02d:%02d",
                          exercise->start.year, exercise->start.month, exercise->start.day,
                          exercise->start.hour, exercise->start.minute, exercise->start.second);
            err << when;
        }
        err << (decoded[i].valid ? "" : ", not valid") << "\n";
    }
}

// A recording of several transfers: into a folder each valid one, else the first valid one
// with a word about the others. The status is the written transfer's, or that of the first
// when none is valid.
int WriteTransfers(const CliOptions& o, Document& data, const std::string& inputName,
                   std::ostream& out, std::ostream& err) {
    std::vector<zendrik::Transfer> decoded;
    for (std::size_t i = 0; i < data.Recorded().size(); ++i) decoded.push_back(data.DecodeRecordedTransfer(i));
    if (o.verbose) ListTransfers(data, decoded, inputName, err);
    std::vector<std::size_t> valid;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        if (decoded[i].valid) valid.push_back(i);
    }
    if (valid.empty()) {
        data.ShowRecordedTransfer(TransferToWrite(decoded));
        return WriteReport(o, data, inputName, out, err);
    }
    if (o.outputPath && NamesFolder(*o.outputPath) && !o.plotPath) {
        int worst = kExitOk;
        for (std::size_t i : valid) {
            data.ShowRecordedTransfer(i);
            worst = std::max(worst, WriteReport(o, data, inputName, out, err));
        }
        return worst;
    }
    const std::size_t more = decoded.size() - 1;
    err << Prefix(inputName) << "the recording holds " << more << " more transfer"
        << (more == 1 ? "" : "s") << " after the one written; use -o DIR/ to write each into a folder\n";
    data.ShowRecordedTransfer(TransferToWrite(decoded));
    return WriteReport(o, data, inputName, out, err);
}

int DecodeInput(const CliOptions& o, const std::string& input, std::ostream& out,
                std::ostream& err) {
    std::string name;
    Document data;
    const Opened opened = OpenInput(o, input, data, name, err);
    if (opened.outcome != OpenOutcome::Opened) {
        return opened.outcome == OpenOutcome::NoModel ? kExitNoModel : kExitInput;
    }
    const bool recording = opened.kind == InputKind::Recording;
    if (o.verbose && recording) {
        err << Prefix(name) << "reception:\n" << zendrik::FormatReceptionReport(data.Reception());
    }
    if (recording && data.Recorded().size() > 1) return WriteTransfers(o, data, name, out, err);
    // A recording that did not decode says first what to do about it, even without --verbose,
    // which has already said it with the rest of the reception report; the error lines follow.
    if (!data.Valid() && !o.verbose && recording) {
        const std::string advice = WhyNotValid(data, recording).hint;
        if (!advice.empty()) err << Prefix(name) << advice << "\n";
    }
    return WriteReport(o, data, name, out, err);
}

}  // namespace

DecodeSettings SettingsFor(const CliOptions& o) {
    char decimal = '.';
    char time = ':';
    char date = '.';
    if (o.valueFormat == ValueFormatChoice::Custom) {
        decimal = o.decimal.value_or('.');
        time = o.time.value_or(':');
        date = o.date.value_or('.');
    } else if (o.valueFormat == ValueFormatChoice::Regional) {
        const RegionalSeparators regional = SystemSeparators();
        decimal = regional.decimal;
        time = regional.time;
        date = regional.date;
    }
    return DecodeSettings{.watchModel = o.watchModel,
                          .values = MakeValueFormat(o.noTenths, decimal, time, date)};
}

bool RefuseBinaryToTerminal(const CliOptions& o, bool outputIsTerminal, std::ostream& err) {
    if (!outputIsTerminal || !IsBinaryFormat(o.format) || o.synthesizePath || o.help || o.version) {
        return false;
    }
    if (o.outputPath && *o.outputPath != kStandardStream) return false;
    err << "zendrik-cli: a FIT file is binary and standard output is a terminal; write it with "
           "-o FILE or through a pipe (try 'zendrik-cli --help')\n";
    return true;
}

int WriteStandardOutput(std::string_view bytes, std::ostream& out, std::ostream& err) {
    errno = 0;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (out) return kExitOk;
    const int code = errno;
    err << "zendrik-cli: cannot write to standard output";
    if (code) err << ": " << std::strerror(code);
    err << "\n";
    return kExitInput;
}

int RunCli(const CliOptions& o, std::ostream& out, std::ostream& err) {
    if (OutputIsAnInput(o, err)) return kExitUsage;
    if (TimeZoneIsUnknown(o, err)) return kExitUsage;
    if (FolderIsMissing(o, err)) return kExitInput;
    if (o.microphone) return RunMicrophone(o, out, err);
    if (o.synthesizePath) return Synthesize(o, out, err);

    int worst = kExitOk;
    for (const std::string& input : o.inputs) {
        int status = kExitInput;
        try {
            status = DecodeInput(o, input, out, err);
        } catch (const std::bad_alloc&) {
            err << Prefix(input == kStandardStream ? "standard input" : input) << kOutOfMemoryReason
                << "\n";
        }
        worst = std::max(worst, status);
    }
    return worst;
}

int WriteReport(const CliOptions& o, Document& data, const std::string& inputName,
                std::ostream& out, std::ostream& err) {
    if (!data.Valid()) {
        const NotValid why = WhyNotValid(data, false, o.format == OutputFormat::Csv);
        const std::string& report = why.report;
        if (report.empty()) {
            // Never a failure without a word: say what was received instead.
            err << Prefix(inputName) << why.instead << "\n";
        } else {
            // With several inputs the error lines need to say whose they are.
            if (o.inputs.size() > 1) err << Prefix(inputName) << "the report is not valid:\n";
            err.write(report.data(), static_cast<std::streamsize>(report.size()));
        }
        return kExitInvalid;
    }
    if (o.plotPath) return PlotExercise(o, data, inputName, err);
    using zendrik::ReportFileType;
    switch (o.format) {
        case OutputFormat::Hrm:
            return Emit(o.outputPath, data.Hrm(), ReportFileType::Hrm, data.Date(), out, err);
        case OutputFormat::HrmCompat:
            if (const zendrik::ExportResult file = CompatibleHrmFile(data); !file.Ok()) {
                err << Prefix(inputName) << file.error << " (try --format hrm)\n";
                return kExitUsage;
            }
            return Emit(o.outputPath, data.HrmCompat(), ReportFileType::Hrm, data.Date(),
                        out, err);
        case OutputFormat::Sld:
            return Emit(o.outputPath, data.DumpText(), ReportFileType::Dump, data.Date(), out,
                        err);
        case OutputFormat::Csv:
            return Emit(o.outputPath, zendrik::CsvForSeparator(data.Csv(), o.csvSeparator),
                        ReportFileType::Csv, data.Date(), out, err);
        case OutputFormat::Fit:
        case OutputFormat::Tcx:
            return EmitExport(o, data, inputName, out, err);
        case OutputFormat::Json:
            return Emit(o.outputPath, zendrik::WriteJson(data.DecodedTransfer()),
                        ReportFileType::Json, data.Date(), out, err);
    }
    return kExitOk;
}

}  // namespace zendrik
