#include "app/file_dialogs.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <filesystem>
#include <system_error>

#include "app/input_file_reading.h"
#include "app/report_texts.h"
#include "app/user_prompts.h"
#include "platform/zone_database.h"
#include "zendrik/writers.h"
#include "platform/whole_file.h"
#include "document/document.h"
#include "zendrik/reception.h"

namespace zendrik {

namespace {

enum OpenFilter { kOpenSupported = 1, kOpenDump = 2, kOpenWave = 3, kOpenRecording = 4, kOpenAll = 5 };
enum SaveFilter { kSaveHrm = 1, kSaveCsv = 2, kSaveDump = 3, kSaveFit = 4, kSaveTcx = 5, kSaveJson = 6 };

const QStringList kSaveFilters = {"HRM Files (*.hrm)", "CSV Files (*.csv)",
                                  "SonicLink Dump Files (*.sld)", "FIT activity (*.fit)",
                                  "TCX (*.tcx)", "JSON (*.json)"};

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A phone or a recorder app saves FLAC, M4A or MP3 as often as WAV: the dialog opens on an entry
// that shows every file the program reads, dumps and recordings alike.
QStringList OpenFilters() {
    QStringList recordings;
    for (std::string_view extension : zendrik::kRecordingExtensions) {
        recordings.append(QStringLiteral("*.") + Latin1(extension));
    }
    const QString all = recordings.join(u' ');
    return {QStringLiteral("All supported files (*.sld %1)").arg(all), "SonicLink Dump Files (*.sld)",
            "Wave Files (*.wav)", QStringLiteral("Recordings (%1)").arg(all), "All files (*)"};
}

zendrik::ReportFileType SaveType(int filterIndex) {
    switch (filterIndex) {
        case kSaveCsv:
            return zendrik::ReportFileType::Csv;
        case kSaveDump:
            return zendrik::ReportFileType::Dump;
        case kSaveFit:
            return zendrik::ReportFileType::Fit;
        case kSaveTcx:
            return zendrik::ReportFileType::Tcx;
        case kSaveJson:
            return zendrik::ReportFileType::Json;
        default:
            return zendrik::ReportFileType::Hrm;
    }
}

// The filter entry whose extension ends the path, or 0.
int FilterOfExtension(const QString& path) {
    const std::optional<zendrik::ReportFileType> named = zendrik::ReportFileTypeOfName(LocalPath(path));
    for (int filter = kSaveHrm; named && filter <= kSaveJson; ++filter) {
        if (SaveType(filter) == *named) return filter;
    }
    return 0;
}

// What a save writes: what a typed name's extension names (ride.json is a JSON file whichever
// entry is selected), else what the selected entry says, else HRM.
int SaveFormat(int filterIndex, const QString& path) {
    if (const int byName = FilterOfExtension(path)) return byName;
    if (filterIndex >= kSaveHrm && filterIndex <= kSaveJson) return filterIndex;
    return kSaveHrm;
}

bool IsExport(int format) { return format == kSaveFit || format == kSaveTcx || format == kSaveJson; }

// The FIT or TCX file of the decoded exercise, its local times read in the computer's zone, or the
// JSON of the transfer; or nothing, with the reason told in a message box.
std::optional<std::string> ExportedExercise(const Document& data, int format, QWidget* owner) {
    if (format == kSaveJson) return zendrik::WriteJson(data.DecodedTransfer());
    const QString name = format == kSaveFit ? QStringLiteral("FIT") : QStringLiteral("TCX");
    QString reason;
    if (const zendrik::Exercise* exercise = data.ValidExercise()) {
        const zendrik::TimeZone zone = SystemZone();
        zendrik::ExportResult file =
            format == kSaveFit ? zendrik::WriteFit(*exercise, zone) : zendrik::WriteTcx(*exercise, zone);
        if (file.Ok()) return std::move(file.data);
        reason = QString::fromStdString(file.error);
    } else {
        reason = QStringLiteral("The transfer holds no exercise to write.");
    }
    Prompts().Tell(owner, QMessageBox::Warning, QGuiApplication::applicationDisplayName(),
                       QStringLiteral("Not saved as %1.").arg(name), reason);
    return std::nullopt;
}

// Writes `content` as the whole file at `path`, or says why not and leaves any file there as it
// was.
bool WriteWholeFile(const QString& path, const std::string& content, QWidget* owner) {
    const zendrik::FileWrite written = zendrik::ReplaceFileWith(LocalPath(path), content);
    if (written.Ok()) return true;
    const QString format = written.opened ? QStringLiteral("Error (%1) writing file:\n%2")
                                          : QStringLiteral("Error (%1) opening file:\n%2");
    Prompts().Tell(owner, QMessageBox::Critical, QGuiApplication::applicationDisplayName(),
                       format.arg(written.code).arg(path), QString::fromStdString(written.error));
    return false;
}

}  // namespace

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

bool IsSameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty()) return false;
    std::error_code error;
    // Also through a link or another spelling of the path; a file that does not exist yet is
    // no other file.
    return std::filesystem::equivalent(LocalPath(a), LocalPath(b), error) && !error;
}

int OpenFileDialog(Document& data, QWidget* owner) {
    const std::optional<FileChoice> choice =
        Prompts().ChooseOpenFile(owner, FileRequest{OpenFilters(), kOpenSupported, "sld", {}});
    if (!choice) return 0;
    // The file says what it is; the filter entry counts only for a file that names neither type.
    const bool recordingEntry = choice->filterIndex == kOpenWave || choice->filterIndex == kOpenRecording;
    const zendrik::InputKind fallback = recordingEntry ? zendrik::InputKind::Recording
                                        : choice->filterIndex == kOpenDump ? zendrik::InputKind::Dump
                                                                           : zendrik::InputKind::Unknown;
    return ReadInputFile(data, choice->path, fallback, owner);
}

int SaveAllDialog(Document& data, int displayMode, int hrmFormat, char separator,
                  std::size_t shown, QWidget* owner) {
    const QString folder = Prompts().ChooseFolder(owner, QStringLiteral("Save All"));
    if (folder.isEmpty()) return 0;
    const bool csv = displayMode == 1;
    const zendrik::ReportFileType type = csv ? zendrik::ReportFileType::Csv : zendrik::ReportFileType::Hrm;
    int saved = 0;
    QString failure;
    for (std::size_t i = 0; i < data.Recorded().size() && failure.isEmpty(); ++i) {
        data.ShowRecordedTransfer(i);
        if (!data.Valid()) continue;
        const std::string content = csv ? CsvTextFor(data, separator) : HrmTextFor(data, hrmFormat);
        const zendrik::NewFile written = zendrik::WriteNewFileIn(
            LocalPath(folder) + "/", zendrik::ProposedReportName(data.Date(), type), content);
        if (!written.error.empty()) {
            failure = QString::fromStdString(written.error);
        } else {
            ++saved;
        }
    }
    data.ShowRecordedTransfer(shown);
    const QString where = QDir::toNativeSeparators(folder);
    if (!failure.isEmpty()) {
        Prompts().Tell(owner, QMessageBox::Critical, QGuiApplication::applicationDisplayName(),
                           QStringLiteral("Saved %1 of the transfers; cannot write into %2:").arg(saved).arg(where),
                           failure);
    } else {
        Prompts().Tell(owner, QMessageBox::Information, QGuiApplication::applicationDisplayName(),
                           QStringLiteral("Saved %1 transfers in %2.").arg(saved).arg(where));
    }
    return saved;
}

int SaveFileDialog(Document& data, int displayMode, int hrmFormat, char separator,
                   QString& inputFile, QWidget* owner) {
    if (!data.Valid()) return kNothingSaved;
    const int filter = displayMode == 1 ? kSaveCsv : kSaveHrm;
    const std::string name = zendrik::ProposedReportName(data.Date(), SaveType(filter));
    const std::optional<FileChoice> choice = Prompts().ChooseSaveFile(
        owner, FileRequest{kSaveFilters, filter,
                            Latin1(zendrik::ReportFileExtension(SaveType(filter))),
                            Latin1(name)});
    if (!choice) return kNothingSaved;
    const int format = SaveFormat(choice->filterIndex, choice->path);

    // An exercise the writers cannot take is told before anything else is asked or touched.
    std::string content;
    if (IsExport(format)) {
        std::optional<std::string> exported = ExportedExercise(data, format, owner);
        if (!exported) return kNothingSaved;
        content = std::move(*exported);
    }
    const bool overInput = IsSameFile(choice->path, inputFile);
    if (overInput &&
        Prompts().Ask(owner, QGuiApplication::applicationDisplayName(),
                          QStringLiteral("%1 holds the recording or dump this report was read from.\n"
                                         "Replace it with what is saved now?")
                              .arg(QDir::toNativeSeparators(choice->path)),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
        return kNothingSaved;
    }

    switch (format) {
        case kSaveHrm:
            content = HrmTextFor(data, hrmFormat);
            break;
        case kSaveCsv:
            content = CsvTextFor(data, separator);
            break;
        case kSaveDump:
            content = data.DumpText();
            break;
        default:
            break;
    }
    if (!WriteWholeFile(choice->path, content, owner)) return kNothingSaved;
    // Once written over, the input file no longer holds what the report was read from.
    if (overInput) inputFile.clear();
    if (IsExport(format)) return kExerciseExported;
    data.SetPath(LocalPath(choice->path));
    return kReportSaved;
}

}  // namespace zendrik
