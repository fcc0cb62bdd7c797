// The file dialogs and message boxes of the program, behind one seam so tests can answer them.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <optional>

class QFileDialog;
class QWidget;

namespace zendrik {

// A file the user confirmed, with the filter entry left selected (counting from 1).
struct FileChoice {
    QString path;
    int filterIndex = 0;
};

struct FileRequest {
    QStringList filters;    // "Description (*.ext)" entries, in order
    int selectedFilter = 1;  // counting from 1
    QString defaultSuffix;
    QString proposedName;    // save only
};

class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // The open dialog; nothing when cancelled.
    virtual std::optional<FileChoice> ChooseOpenFile(QWidget* owner, const FileRequest& request) = 0;
    // The save dialog, which asks before an existing file is replaced; nothing when cancelled.
    virtual std::optional<FileChoice> ChooseSaveFile(QWidget* owner, const FileRequest& request) = 0;
    // A folder to write into; empty when cancelled.
    virtual QString ChooseFolder(QWidget* owner, const QString& caption) = 0;
    // A question; returns the button pressed (Cancel or Escape when the box was closed).
    // `defaultButton` is the one Enter presses.
    virtual QMessageBox::StandardButton Ask(QWidget* owner, const QString& caption,
                                            const QString& text, QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton) = 0;
    // A message with an OK button; `detail` is the system's wording, when there is one.
    virtual void Tell(QWidget* owner, QMessageBox::Icon icon, const QString& caption,
                      const QString& text, const QString& detail = QString()) = 0;
};

// Sets up Qt's file dialog for a request: its filters, the entry selected, the suffix.
void ConfigureFileDialog(QFileDialog& dialog, const FileRequest& request);

// The prompts in use: Qt's dialogs unless a test installed its own.
UserPrompts& Prompts();

// Installs prompts (not owned); nullptr goes back to Qt's dialogs.
void SetUserPrompts(UserPrompts* prompts);

}  // namespace zendrik
