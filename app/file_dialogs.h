// The open and save dialogs of the reception object: which file, of which type, and writing it.
#pragma once

#include <QString>
#include <string>

class CSonicLinkData;
class QWidget;

// The path as the core's file functions take it (the file system's encoding).
std::string LocalPath(const QString& path);

// Whether two paths name the same file, also through a link; false when either does not exist.
bool IsSameFile(const QString& a, const QString& b);

// Runs the open dialog and reads the chosen file as what it is (a recording or a dump; the
// filter entry left selected decides only for a file that names neither). 1 when a file was
// read and decoded; a file that cannot be read leaves `data` as it was and says why.
int OpenFileDialog(CSonicLinkData& data, QWidget* owner);

// Runs the save dialog (unless there is no valid report) and writes the shown HRM text, the CSV
// text with `separator` between its fields, or the dump, by the filter entry left selected.
// Saving over `inputFile`, the file the report was read from, needs a Yes first (No is the
// default). 1 when a file was written.
int SaveFileDialog(CSonicLinkData& data, int displayMode, int hrmFormat, char separator,
                   const QString& inputFile, QWidget* owner);
