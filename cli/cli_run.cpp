#include "cli/cli_run.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <string>
#include <vector>

#include "platform/regional_format.h"
#include "reception/modulator.h"
#include "reception/sonic_link_data.h"
#include "reception/stream_check.h"
#include "reception/wave_writer.h"

namespace {

enum class InputKind { Wave, Dump, Unknown };

// The type follows the extension, whatever its case, as when a file is opened by name.
InputKind KindOf(const std::string& path) {
    if (path.size() < 4) return InputKind::Unknown;
    std::string ext = path.substr(path.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".wav") return InputKind::Wave;
    if (ext == ".sld") return InputKind::Dump;
    return InputKind::Unknown;
}

// Writes the bytes to the -o file or to `out`, byte for byte.
int Emit(const CCliOptions& o, const std::string& bytes, std::ostream& out, std::ostream& err) {
    if (!o.outputPath) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        return kExitOk;
    }
    std::ofstream file(*o.outputPath, std::ios::binary | std::ios::trunc);
    if (file) file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (file) file.close();
    if (!file) {
        err << "zendrik-cli: cannot write " << *o.outputPath << "\n";
        return kExitInput;
    }
    return kExitOk;
}

int Synthesize(const CCliOptions& o, CSonicLinkData& data, InputKind kind, std::ostream& err) {
    int model = o.watchModel;
    if (kind == InputKind::Wave) {
        data.m_nWatchModel = model;
        if (!data.ReadWaveFile(o.input)) {
            err << "zendrik-cli: cannot read the WAV recording " << o.input << "\n";
            return kExitInput;
        }
        data.Demodulate();
    } else {
        if (!data.ReadDumpFile(o.input)) {
            err << "zendrik-cli: cannot read the dump " << o.input << "\n";
            return kExitInput;
        }
        // A dump names its model, and with it the bit timing to send at.
        if (const int named = DetectWatchModel(data.m_bytes)) model = named;
    }
    std::vector<std::uint8_t> bytes;
    for (std::int32_t value : data.m_bytes.Elements()) bytes.push_back(static_cast<std::uint8_t>(value));
    const CModulatorSettings settings = ModulatorSettingsFor(model);
    std::ofstream file(*o.synthesizePath, std::ios::binary | std::ios::trunc);
    if (!file || !WriteWaveStream(file, ModulateBytes(bytes, settings), settings.sampleRate)) {
        err << "zendrik-cli: cannot write " << *o.synthesizePath << "\n";
        return kExitInput;
    }
    return kExitOk;
}

// Renders the CSV text with the separators of --value-format, as the main view does before
// showing it.
void ApplyValueFormat(const CCliOptions& o, CSonicLinkData& data) {
    char decimal = '.';
    char time = ':';
    char date = '.';
    if (o.valueFormat == ValueFormatChoice::Custom) {
        decimal = o.decimal.value_or('.');
        time = o.time.value_or(':');
        date = o.date.value_or('.');
    } else if (o.valueFormat == ValueFormatChoice::Regional) {
        const CRegionalSeparators regional = RegionalSeparators();
        decimal = regional.decimal;
        time = regional.time;
        date = regional.date;
    }
    data.ApplyValueFormat(o.noTenths ? 1 : 0, decimal, time, date);
}

}  // namespace

int RunCli(const CCliOptions& o, std::ostream& out, std::ostream& err) {
    if (o.microphone) return RunMicrophone(o, out, err);
    const InputKind kind = KindOf(o.input);
    if (kind == InputKind::Unknown) {
        err << "zendrik-cli: " << o.input << ": not a .wav or .sld file\n";
        return kExitInput;
    }
    CSonicLinkData data;
    if (o.synthesizePath) return Synthesize(o, data, kind, err);

    if (kind == InputKind::Wave) {
        data.m_nWatchModel = o.watchModel;
        if (!data.DecodeWaveFile(o.input)) {
            err << "zendrik-cli: cannot read the WAV recording " << o.input << "\n";
            return kExitInput;
        }
    } else {
        if (!data.ReadDumpFile(o.input)) {
            err << "zendrik-cli: cannot read the dump " << o.input << "\n";
            return kExitInput;
        }
        if (!data.DetectModelAndDecode()) {
            err << "zendrik-cli: " << o.input << ": the stream head names no known watch model\n";
            return kExitNoModel;
        }
    }
    return WriteReport(o, data, out, err);
}

int WriteReport(const CCliOptions& o, CSonicLinkData& data, std::ostream& out, std::ostream& err) {
    if (o.format == OutputFormat::Csv) ApplyValueFormat(o, data);
    if (!data.m_bValid) {
        // The error lines are carried by the Enhanced text, and copied into the CSV text.
        const std::string& report = o.format == OutputFormat::Csv ? data.m_strCsv : data.m_strHrm;
        err.write(report.data(), static_cast<std::streamsize>(report.size()));
        return kExitInvalid;
    }
    switch (o.format) {
        case OutputFormat::Hrm:
            return Emit(o, data.m_strHrm, out, err);
        case OutputFormat::HrmCompat:
            return Emit(o, data.m_strHrmCompat, out, err);
        case OutputFormat::Sld:
            return Emit(o, data.DumpText(), out, err);
        case OutputFormat::Csv: {
            std::string csv = data.m_strCsv;
            if (o.csvSeparator != '\t') std::replace(csv.begin(), csv.end(), '\t', o.csvSeparator);
            return Emit(o, csv, out, err);
        }
    }
    return kExitOk;
}
