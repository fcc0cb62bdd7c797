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
#include "reception/sonic_link_data.h"

namespace {

enum OpenFilter { kOpenDump = 1, kOpenWave = 2 };
enum SaveFilter { kSaveHrm = 1, kSaveCsv = 2, kSaveDump = 3 };

const QStringList kOpenFilters = {"SonicLink Dump Files (*.sld)", "Wave Files (*.wav)"};
const QStringList kSaveFilters = {"HRM Files (*.hrm)", "CSV Files (*.csv)",
                                  "SonicLink Dump Files (*.sld)"};

void ReportFileError(QWidget* owner, const QString& format, const QFileDevice& file,
                     const QString& path) {
    UserPrompts().Tell(owner, QMessageBox::Critical, QGuiApplication::applicationDisplayName(),
                       format.arg(static_cast<int>(file.error())).arg(path), file.errorString());
}

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

zendrik::ReportFileType SaveType(int filterIndex) {
    switch (filterIndex) {
        case kSaveCsv:
            return zendrik::ReportFileType::Csv;
        case kSaveDump:
            return zendrik::ReportFileType::Dump;
        default:
            return zendrik::ReportFileType::Hrm;
    }
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
        UserPrompts().ChooseOpenFile(owner, CFileRequest{kOpenFilters, kOpenDump, "sld", {}});
    if (!choice) return 0;
    // The file says what it is; the filter entry counts only for a file that names neither type.
    const zendrik::InputKind fallback = choice->filterIndex == kOpenWave ? zendrik::InputKind::Recording
                                        : choice->filterIndex == kOpenDump ? zendrik::InputKind::Dump
                                                                           : zendrik::InputKind::Unknown;
    return ReadInputFile(data, choice->path, fallback, owner);
}

int SaveFileDialog(CSonicLinkData& data, int displayMode, int hrmFormat, char separator,
                   const QString& inputFile, QWidget* owner) {
    if (!data.m_bValid) return 0;
    const int filter = displayMode == 1 ? kSaveCsv : kSaveHrm;
    const std::string name = zendrik::ProposedReportName(data.m_strDate, SaveType(filter));
    const std::optional<CFileChoice> choice = UserPrompts().ChooseSaveFile(
        owner, CFileRequest{kSaveFilters, filter,
                            Latin1(zendrik::ReportFileExtension(SaveType(filter))),
                            Latin1(name)});
    if (!choice) return 0;
    if (IsSameFile(choice->path, inputFile) &&
        UserPrompts().Ask(owner, QGuiApplication::applicationDisplayName(),
                          QStringLiteral("%1 holds the recording or dump this report was read from.\n"
                                         "Replace it with what is saved now?")
                              .arg(QDir::toNativeSeparators(choice->path)),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
        return 0;
    }

    std::string content;
    switch (choice->filterIndex) {
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

    // Written aside and put in place at the end, so a failed write never costs an existing file.
    // Unbuffered, so a write the file system cuts short (a full disk, a file size limit) shows
    // here, rather than a shorter file being put in place.
    QSaveFile file(choice->path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        ReportFileError(owner, "Error (%1) opening file:\n%2", file, choice->path);
        return 0;
    }
    const qint64 size = static_cast<qint64>(content.size());
    if (file.write(content.data(), size) != size || !file.commit()) {
        ReportFileError(owner, "Error (%1) writing file:\n%2", file, choice->path);
        return 0;
    }
    data.m_strPath = LocalPath(choice->path);
    return 1;
}
