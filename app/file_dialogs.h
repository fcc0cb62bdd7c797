// The open and save dialogs of the reception object: which file, of which type, and writing it.
#pragma once

#include <QString>
#include <string>

class CSonicLinkData;
class QWidget;

// The path as the core's file functions take it (the file system's encoding).
std::string LocalPath(const QString& path);

// Runs the open dialog and reads the chosen file by the filter entry left selected: a dump is
// loaded and decoded with the model its bytes name, a recording demodulated and decoded with the
// object's model. 1 when the user confirmed a file.
int OpenFileDialog(CSonicLinkData& data, QWidget* owner);

// Runs the save dialog (unless there is no valid report) and writes the shown HRM text, the CSV
// text with its TABs replaced by `separator`, or the dump, by the filter entry left selected.
// 1 when a file was written.
int SaveFileDialog(CSonicLinkData& data, int displayMode, int hrmFormat, char separator,
                   QWidget* owner);
