// Reading a file the user names (open dialog, drop, command line) into the reception object:
// the type follows the file, and a file that cannot be read changes nothing and says why.
#pragma once

#include <QString>

#include "zendrik/reception.h"

class QWidget;

namespace zendrik {

class Document;

// Reads `path` as what it is (a sound file signature, else its extension; `fallback` where the
// file names neither, such as the open dialog's filter entry) and decodes it with the watch model
// `data` holds. On success the document holds the new report and its path is `path`.
// Otherwise `data` is left exactly as it was and a message box owned by `owner` gives the reason.
// 1 when the file was read and decoded.
int ReadInputFile(Document& data, const QString& path, zendrik::InputKind fallback, QWidget* owner);

// The message for a file that could not be read: its name and the reason in words.
QString UnreadableFileText(const QString& path, const std::string& reason);

}  // namespace zendrik
