#include "app/file_dialogs.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>
#include <filesystem>
#include <system_error>

#include "app/input_file_reading.h"
#include "app/report_texts.h"
#include "app/user_prompts.h"
#include "decoders/report_name.h"
#include "formats/fit_writer.h"
#include "formats/tcx_writer.h"
#include "document/sonic_link_data.h"
#include "reception/input_file.h"

namespace {

enum OpenFilter { kOpenDump = 1, kOpenWave = 2, kOpenRecording = 3 };
enum SaveFilter { kSaveHrm = 1, kSaveCsv = 2, kSaveDump = 3, kSaveFit = 4, kSaveTcx = 5 };

const QStringList kSaveFilters = {"HRM Files (*.hrm)", "CSV Files (*.csv)",
                                  "SonicLink Dump Files (*.sld)", "FIT activity (*.fit)",
                                  "TCX (*.tcx)"};

void ReportFileError(QWidget* owner, const QString& format, const QFileDevice& file,
                     const QString& path) {
    UserPrompts().Tell(owner, QMessageBox::Critical, QGuiApplication::applicationDisplayName(),
                       format.arg(static_cast<int>(file.error())).arg(path), file.errorString());
}

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A phone or a recorder app saves FLAC, Ogg or MP3 as often as WAV; the third entry shows every
// recording the program reads.
QStringList OpenFilters() {
    QStringList patterns;
    for (std::string_view extension : zendrik::kRecordingExtensions) {
        patterns.append(QStringLiteral("*.") + Latin1(extension));
    }
    return {"SonicLink Dump Files (*.sld)", "Wave Files (*.wav)",
            QStringLiteral("Recordings (%1)").arg(patterns.join(u' '))};
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
        default:
            return zendrik::ReportFileType::Hrm;
    }
}

// The filter entry whose extension ends the path, or 0.
int FilterOfExtension(const QString& path) {
    for (int filter = kSaveHrm; filter <= kSaveTcx; ++filter) {
        const QString extension = QLatin1Char('.') + Latin1(zendrik::ReportFileExtension(SaveType(filter)));
        if (path.endsWith(extension, Qt::CaseInsensitive)) return filter;
    }
    return 0;
}

// What a save writes. The filter entry decides, as it always has for the report texts and the
// dump (HRM text under a typed .csv name stays HRM text). A name typed with .fit or .tcx is the
// exception: no training platform reads a report text under those names, so such a name is
// written as the activity it asks for. Without a known entry the extension decides, then HRM.
int SaveFormat(int filterIndex, const QString& path) {
    const int byName = FilterOfExtension(path);
    if (byName == kSaveFit || byName == kSaveTcx) return byName;
    if (filterIndex >= kSaveHrm && filterIndex <= kSaveTcx) return filterIndex;
    return byName != 0 ? byName : kSaveHrm;
}

// The FIT or TCX file of the decoded exercise, its local times read in the computer's zone; or
// nothing, with the reason told in a message box.
std::optional<std::string> ExportedExercise(const CSonicLinkData& data, int format, QWidget* owner) {
    const QString name = format == kSaveFit ? QStringLiteral("FIT") : QStringLiteral("TCX");
    QString reason;
    if (const zendrik::Exercise* exercise = data.ValidExercise()) {
        const zendrik::TimeZone zone = zendrik::TimeZone::System();
        zendrik::ExportResult file =
            format == kSaveFit ? zendrik::WriteFit(*exercise, zone) : zendrik::WriteTcx(*exercise, zone);
        if (file.Ok()) return std::move(file.data);
        reason = QString::fromStdString(file.error);
    } else {
        reason = QStringLiteral("The transfer holds no exercise to write.");
    }
    UserPrompts().Tell(owner, QMessageBox::Warning, QGuiApplication::applicationDisplayName(),
                       QStringLiteral("Not saved as %1.").arg(name), reason);
    return std::nullopt;
}

// Writes `content` as the whole file at `path`, or says why not and leaves any file there as it
// was. Written aside and put in place at the end, so a failed write never costs an existing file;
// unbuffered, so a write the file system cuts short (a full disk, a file size limit) shows here,
// rather than a shorter file being put in place.
bool WriteWholeFile(const QString& path, const std::string& content, QWidget* owner) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        ReportFileError(owner, "Error (%1) opening file:\n%2", file, path);
        return false;
    }
    const qint64 size = static_cast<qint64>(content.size());
    if (file.write(content.data(), size) != size || !file.commit()) {
        ReportFileError(owner, "Error (%1) writing file:\n%2", file, path);
        return false;
    }
    return true;
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

int OpenFileDialog(CSonicLinkData& data, QWidget* owner) {
    const std::optional<CFileChoice> choice =
        UserPrompts().ChooseOpenFile(owner, CFileRequest{OpenFilters(), kOpenDump, "sld", {}});
    if (!choice) return 0;
    // The file says what it is; the filter entry counts only for a file that names neither type.
    const bool recordingEntry = choice->filterIndex == kOpenWave || choice->filterIndex == kOpenRecording;
    const zendrik::InputKind fallback = recordingEntry ? zendrik::InputKind::Recording
                                        : choice->filterIndex == kOpenDump ? zendrik::InputKind::Dump
                                                                           : zendrik::InputKind::Unknown;
    return ReadInputFile(data, choice->path, fallback, owner);
}

int SaveFileDialog(CSonicLinkData& data, int displayMode, int hrmFormat, char separator,
                   QString& inputFile, QWidget* owner) {
    if (!data.m_bValid) return kNothingSaved;
    const int filter = displayMode == 1 ? kSaveCsv : kSaveHrm;
    const std::string name = zendrik::ProposedReportName(data.m_strDate, SaveType(filter));
    const std::optional<CFileChoice> choice = UserPrompts().ChooseSaveFile(
        owner, CFileRequest{kSaveFilters, filter,
                            Latin1(zendrik::ReportFileExtension(SaveType(filter))),
                            Latin1(name)});
    if (!choice) return kNothingSaved;
    const int format = SaveFormat(choice->filterIndex, choice->path);

    // An exercise the writers cannot take is told before anything else is asked or touched.
    std::string content;
    if (format == kSaveFit || format == kSaveTcx) {
        std::optional<std::string> exported = ExportedExercise(data, format, owner);
        if (!exported) return kNothingSaved;
        content = std::move(*exported);
    }
    const bool overInput = IsSameFile(choice->path, inputFile);
    if (overInput &&
        UserPrompts().Ask(owner, QGuiApplication::applicationDisplayName(),
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
    if (format == kSaveFit || format == kSaveTcx) return kExerciseExported;
    data.m_strPath = LocalPath(choice->path);
    return kReportSaved;
}
