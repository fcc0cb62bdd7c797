#include "app/file_dialogs.h"

#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>
#include <algorithm>

#include "app/user_prompts.h"
#include "app/wait_cursor.h"
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

}  // namespace

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

int OpenFileDialog(CSonicLinkData& data, QWidget* owner) {
    const std::optional<CFileChoice> choice =
        UserPrompts().ChooseOpenFile(owner, CFileRequest{kOpenFilters, kOpenDump, "sld", {}});
    if (!choice) return 0;
    CWaitCursor wait;
    data.m_strPath = LocalPath(choice->path);
    switch (choice->filterIndex) {
        case kOpenDump:
            data.m_strHrm.clear();
            data.m_strCsv.clear();
            data.m_strHrmCompat.clear();
            // With the texts gone, the old report must not be offered for saving either.
            data.m_bValid = 0;
            data.LoadDumpFile(data.m_strPath);
            break;
        case kOpenWave:
            // A recording that cannot be read leaves everything as it was, rather than
            // decoding the samples of an earlier file again.
            data.DecodeWaveFile(data.m_strPath);
            break;
        default:
            break;
    }
    return 1;
}

int SaveFileDialog(CSonicLinkData& data, int displayMode, int hrmFormat, char separator,
                   QWidget* owner) {
    if (!data.m_bValid) return 0;
    const bool csv = displayMode == 1;
    const std::optional<CFileChoice> choice = UserPrompts().ChooseSaveFile(
        owner, CFileRequest{kSaveFilters, csv ? kSaveCsv : kSaveHrm, csv ? "csv" : "hrm",
                            QString::fromLatin1(data.m_strDate.c_str())});
    if (!choice) return 0;

    std::string content;
    switch (choice->filterIndex) {
        case kSaveHrm:
            content = hrmFormat == 1 ? data.m_strHrmCompat : data.m_strHrm;
            break;
        case kSaveCsv:
            content = data.m_strCsv;
            if (separator != '\t') std::replace(content.begin(), content.end(), '\t', separator);
            break;
        case kSaveDump:
            content = data.DumpText();
            break;
        default:
            break;
    }

    // Written aside and put in place at the end, so a failed write never costs an existing file.
    QSaveFile file(choice->path);
    if (!file.open(QIODevice::WriteOnly)) {
        ReportFileError(owner, "Error (%1) opening file:\n%2", file, choice->path);
        return 0;
    }
    file.write(content.data(), static_cast<qint64>(content.size()));
    if (!file.commit()) {
        ReportFileError(owner, "Error (%1) writing file:\n%2", file, choice->path);
        return 0;
    }
    data.m_strPath = LocalPath(choice->path);
    return 1;
}
