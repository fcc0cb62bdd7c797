// Opening what a shell names into a document: a recording's samples or a dump, told apart by
// their first bytes, with the reason of a failure kept for the user.
#include <algorithm>
#include <sstream>

#include "document/document.h"
#include "decoders/families.h"
#include "formats/fit_writer.h"
#include "formats/tcx_writer.h"
#include "reception/dump_file.h"
#include "reception/input_file.h"
#include "reception/reception_report.h"
#include "reception/wave_reader.h"

namespace zendrik {

namespace {

// What an input is by its first bytes, then its name, then what the caller expects; the stream
// is left at its start.
zendrik::InputKind KindOf(std::istream& in, const DocumentInput& input) {
    const zendrik::InputKind kind = zendrik::InputKindOf(input.path, zendrik::FirstBytesOf(in));
    return kind == zendrik::InputKind::Unknown ? input.fallback : kind;
}

// Why a file is neither: the kinds of file the programs read.
std::string NeitherRecordingNorDump() {
    std::string known;
    for (std::string_view extension : zendrik::kRecordingExtensions) {
        known += (known.empty() ? "." : ", .") + std::string(extension);
    }
    return "not a recording (" + known + ") or a dump (.sld)";
}

}  // namespace

Opened Document::Open(const DocumentInput& input, const DecodeSettings& settings) {
    Opened result;
    Guarded([&] {
        m_settings = settings;
        ClearReception();
        ClearReports();
        m_reception = zendrik::ReceptionReport{};
        m_valid = 0;
        m_date.clear();
        m_path.clear();
        m_readError.clear();
        if (input.clip) {
            result.kind = zendrik::InputKind::Recording;
            if (DecodeClip(*input.clip)) result.outcome = OpenOutcome::Opened;
            return;
        }
        std::ifstream file;
        std::istream* in = input.stream;
        if (!in) {
            m_readError.assign(zendrik::OpenInputFile(std::string(input.path), file));
            if (!m_readError.empty()) return;
            in = &file;
        }
        result.kind = KindOf(*in, input);
        result.outcome = ReadOpened(*in, input.path, result.kind);
        if (result.outcome == OpenOutcome::Opened && !input.stream) m_path.assign(input.path);
    });
    if (result.outcome != OpenOutcome::Opened && m_readError.empty()) m_readError.assign("it cannot be read");
    return result;
}

OpenOutcome Document::ReadOpened(std::istream& in, std::string_view name, zendrik::InputKind kind) {
    switch (kind) {
        case zendrik::InputKind::Recording:
            // The exact receiver, then the second one where the exact bytes do not check out;
            // sound files the WAV reader refuses go to the second receiver through libsndfile,
            // or FFmpeg for phones' M4A, 3GP, AMR and WebM.
            return DecodeRecording(in, name) ? OpenOutcome::Opened : OpenOutcome::Unreadable;
        case zendrik::InputKind::Dump:
            return Guarded([&] {
                if (!ReadDumpData(in)) return OpenOutcome::Unreadable;
                // A dump says what it holds: the model its head names decodes it.
                if (DetectModelAndDecode()) return OpenOutcome::Opened;
                if (!m_readError.empty()) return OpenOutcome::Unreadable;
                m_readError.assign(m_bytes.GetSize() == 0 ? "the dump holds no bytes"
                                                          : "the stream head names no known watch model");
                return OpenOutcome::NoModel;
            });
        case zendrik::InputKind::Unknown:
            break;
    }
    m_readError.assign(NeitherRecordingNorDump());
    return OpenOutcome::Unreadable;
}

int Document::ReadDumpData(std::istream& in) {
    return Guarded([&] {
        std::string text;
        if (!zendrik::ReadAtMost(in, zendrik::kMaxDumpFileBytes, text)) {
            m_readError.assign("larger than any dump (more than 16 MB)");
            return 0;
        }
        m_readError.clear();
        ClearReception();
        // A dump was not received here: no recording's reception report belongs to it.
        m_reception = zendrik::ReceptionReport{};
        std::istringstream lines(std::move(text));
        ParseDump(lines, m_bytes);
        return 1;
    });
}

std::string Document::DumpText() const { return FormatDump(m_bytes); }

NotValid WhyNotValid(const Document& document, bool recording, bool csv) {
    NotValid why;
    if (recording) why.hint = zendrik::ReceptionAdvice(document.Reception());
    // The error lines are carried by the Enhanced text, and copied into the CSV text.
    const std::string& shown = csv ? document.Csv() : document.Hrm();
    why.report = shown.empty() ? document.Hrm() : shown;
    if (why.report.empty()) why.instead = document.ExplainInvalid();
    return why;
}

std::size_t TransferToWrite(const std::vector<zendrik::Transfer>& decoded) {
    const auto valid = std::find_if(decoded.begin(), decoded.end(), [](const zendrik::Transfer& t) { return t.valid; });
    return valid == decoded.end() ? 0 : static_cast<std::size_t>(valid - decoded.begin());
}

ExportResult CompatibleHrmFile(const Document& document) {
    const int model = document.DecodedTransfer().model;
    if (const zendrik::Family* family = zendrik::FindFamily(model); !family || !family->compatibleText) {
        return {.data = {}, .error = std::string("the Polar Compatible HRM form exists for RS200/CS200 reports only, "
                                                 "not for this ") + WatchModelName(model) + " one"};
    }
    return {.data = document.HrmCompat(), .error = {}};
}

ExportResult ExerciseFile(const Document& document, ReportFileType type, const TimeZone& zone) {
    const bool fit = type == ReportFileType::Fit;
    const std::string name = fit ? "FIT" : "TCX";
    const zendrik::Exercise* exercise = document.ValidExercise();
    // A valid RS200/CS200 head whose stream names neither a run nor a ride.
    if (!exercise) return {.data = {}, .error = "the transfer holds no exercise to write as " + name};
    ExportResult file = fit ? zendrik::WriteFit(*exercise, zone) : zendrik::WriteTcx(*exercise, zone);
    if (!file.Ok()) file.error = "cannot be written as " + name + ": " + file.error;
    return file;
}

}  // namespace zendrik
