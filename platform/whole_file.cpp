#include "platform/whole_file.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <map>

#include "decoders/report_name.h"

namespace zendrik {

namespace {

// Names past this many are not tried: a folder holding them all is better reported than searched.
constexpr int kMaxNumberedNames = 10000;

QString Local(const std::string& path) { return QFile::decodeName(path.c_str()); }

FileWrite Failure(const QFileDevice& file, bool opened) {
    return {file.errorString().toStdString(), opened, static_cast<int>(file.error())};
}

// Writes on after a short write, so a failure ends with the device's reason for it.
bool WriteAll(QFileDevice& file, std::string_view bytes) {
    while (!bytes.empty()) {
        const qint64 written = file.write(bytes.data(), static_cast<qint64>(bytes.size()));
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Whether the file holds exactly `bytes`; only a file of the same size is read.
bool Holds(const QString& path, std::string_view bytes) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() != static_cast<qint64>(bytes.size())) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray content = file.readAll();
    return content.size() == static_cast<qsizetype>(bytes.size()) &&
           std::string_view(content.constData(), bytes.size()) == bytes;
}

// The first of `name` and its numbered names in the folder that holds exactly `bytes`; "" for none.
QString FileHolding(const QDir& dir, const std::string& name, std::string_view bytes) {
    std::map<int, QString> numbered;
    QDirIterator entries(dir.path(), QDir::Files | QDir::Hidden | QDir::System);
    while (entries.hasNext()) {
        entries.next();
        const int n = NumberOfReportName(QFile::encodeName(entries.fileName()).toStdString(), name);
        if (n > 0 && n <= kMaxNumberedNames) numbered.emplace(n, entries.filePath());
    }
    for (const auto& [n, path] : numbered) {
        if (Holds(path, bytes)) return path;
    }
    return {};
}

}  // namespace

FileWrite ReplaceFileWith(const std::string& path, std::string_view bytes) {
    const QFileInfo existing(Local(path));
    if (existing.exists() && !existing.isFile() && !existing.isDir()) {
        // A device or a pipe has no contents to lose, and nothing can be renamed over it.
        QFile device(Local(path));
        if (!device.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return Failure(device, false);
        if (!WriteAll(device, bytes)) return Failure(device, true);
        return {};
    }
    QSaveFile file(Local(path));
    // Unbuffered, so that a short write (a full disk, a file size limit) shows in the count
    // write() returns: a buffered QSaveFile can commit a file its last flush cut short.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return Failure(file, false);
    if (!WriteAll(file, bytes)) {
        FileWrite failed = Failure(file, true);
        file.cancelWriting();
        return failed;
    }
    if (!file.commit()) return Failure(file, true);
    return {};
}

NewFile WriteNewFileIn(const std::string& folder, const std::string& name, std::string_view bytes) {
    const QDir dir(Local(folder));
    if (const QString same = FileHolding(dir, name, bytes); !same.isEmpty()) {
        return {QFile::encodeName(same).toStdString(), {}, true};
    }
    for (int n = 1; n <= kMaxNumberedNames; ++n) {
        const QString target = dir.filePath(Local(NumberedReportName(name, n)));
        // Creating the file only where none is takes the name for this report alone; the report
        // then replaces that empty file whole.
        QFile reserved(target);
        if (reserved.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            reserved.close();
            const std::string path = QFile::encodeName(target).toStdString();
            const FileWrite written = ReplaceFileWith(path, bytes);
            if (!written.Ok()) {
                QFile::remove(target);
                return {{}, written.error};
            }
            return {path, {}};
        }
        const QFileInfo taken(target);
        if (!taken.exists() && !taken.isSymLink()) return {{}, reserved.errorString().toStdString()};
    }
    return {{}, "every name from " + name + " to its -" + std::to_string(kMaxNumberedNames) +
                    " is taken"};
}

}  // namespace zendrik
