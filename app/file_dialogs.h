// The open and save dialogs of the reception object: which file, of which type, and writing it.
#pragma once

#include <QString>
#include <cstddef>
#include <string>

class QWidget;

namespace zendrik {

class Document;

// The path as the core's file functions take it (the file system's encoding).
std::string LocalPath(const QString& path);

// Whether two paths name the same file, also through a link; false when either does not exist.
bool IsSameFile(const QString& a, const QString& b);

// Runs the open dialog and reads the chosen file as what it is (a recording or a dump; the
// filter entry left selected decides only for a file that names neither). 1 when a file was
// read and decoded; a file that cannot be read leaves `data` as it was and says why.
int OpenFileDialog(Document& data, QWidget* owner);

enum SaveResult { kNothingSaved = 0, kReportSaved = 1, kExerciseExported = 2 };

// Runs the save dialog (unless there is no valid report) and writes the shown HRM text, the CSV
// text with `separator` between its fields, the dump, the decoded exercise as a FIT or TCX
// activity (local times in the computer's zone) or the transfer as JSON: what the extension of
// the name typed names (.hrm, .csv, .sld, .fit, .tcx, .json), else what the filter entry left
// selected says. The file is replaced whole or not at all.
// Saving over `inputFile`, the file the report was read from, needs a Yes first (No is the
// default), and clears `inputFile` once done. kReportSaved sets the data's path to the file;
// kExerciseExported leaves it, since such a file holds only part of what was received.
int SaveFileDialog(Document& data, int displayMode, int hrmFormat, char separator,
                   QString& inputFile, QWidget* owner);

// "Save All" for a recording of several transfers: asks for a folder and writes each valid
// transfer into it in the shown form (CSV with `separator` when displayMode is 1, else the HRM
// text of `hrmFormat`) under the name the save dialog proposes, -2, -3, ... when taken, a file
// already holding the same bytes left as it is; then says what was written. The report shows
// transfer `shown` again afterwards. The number of transfers saved.
int SaveAllDialog(Document& data, int displayMode, int hrmFormat, char separator,
                  std::size_t shown, QWidget* owner);

}  // namespace zendrik
