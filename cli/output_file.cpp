#include "cli/output_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "decoders/report_name.h"

namespace {

// Names past this many are not tried: a folder holding them all is better reported than searched.
constexpr int kMaxNumberedNames = 10000;

QString Local(const std::string& path) { return QFile::decodeName(path.c_str()); }

std::string Reason(const QFileDevice& file) { return file.errorString().toStdString(); }

// Writes on after a short write, so a failure ends with the device's reason for it.
bool WriteAll(QFileDevice& file, std::string_view bytes) {
    while (!bytes.empty()) {
        const qint64 written = file.write(bytes.data(), static_cast<qint64>(bytes.size()));
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

std::string ReplaceFileWith(const std::string& path, std::string_view bytes) {
    const QFileInfo existing(Local(path));
    if (existing.exists() && !existing.isFile() && !existing.isDir()) {
        // A device or a pipe has no contents to lose, and nothing can be renamed over it.
        QFile device(Local(path));
        if (!device.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return Reason(device);
        if (!WriteAll(device, bytes)) return Reason(device);
        return {};
    }
    QSaveFile file(Local(path));
    // Unbuffered, so that a short write (a full disk, a file size limit) shows in the count
    // write() returns: a buffered QSaveFile can commit a file its last flush cut short.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return Reason(file);
    if (!WriteAll(file, bytes)) {
        const std::string reason = Reason(file);
        file.cancelWriting();
        return reason;
    }
    if (!file.commit()) return Reason(file);
    return {};
}

NewFile WriteNewFileIn(const std::string& folder, const std::string& name, std::string_view bytes) {
    const QDir dir(Local(folder));
    for (int n = 1; n <= kMaxNumberedNames; ++n) {
        const std::string numbered = zendrik::NumberedReportName(name, n);
        const QString target = dir.filePath(Local(numbered));
        // Creating the file only where none is takes the name for this report alone; the report
        // then replaces that empty file whole.
        QFile reserved(target);
        if (reserved.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            reserved.close();
            const std::string path = QFile::encodeName(target).toStdString();
            const std::string why = ReplaceFileWith(path, bytes);
            if (!why.empty()) {
                QFile::remove(target);
                return {{}, why};
            }
            return {path, {}};
        }
        const QFileInfo taken(target);
        if (!taken.exists() && !taken.isSymLink()) return {{}, Reason(reserved)};
    }
    return {{}, "every name from " + name + " to its -" + std::to_string(kMaxNumberedNames) +
                    " is taken"};
}
