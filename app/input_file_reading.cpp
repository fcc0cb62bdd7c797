#include "app/input_file_reading.h"

#include <QDir>
#include <QGuiApplication>

#include "app/file_dialogs.h"
#include "app/user_prompts.h"
#include "app/wait_cursor.h"
#include "document/document.h"

namespace zendrik {

QString UnreadableFileText(const QString& path, const std::string& reason) {
    // The reason stands on a line of its own, as a sentence.
    QString why = QString::fromStdString(reason);
    if (!why.isEmpty()) why[0] = why[0].toUpper();
    if (!why.endsWith(u'.')) why += u'.';
    return QStringLiteral("Cannot read %1:\n%2").arg(QDir::toNativeSeparators(path), why);
}

int ReadInputFile(Document& data, const QString& path, zendrik::InputKind fallback, QWidget* owner) {
    std::string reason;
    {
        // Reading goes into an object of its own: whatever fails on the way (a file gone since
        // it was chosen, a rejected recording, a dump without a transfer, memory running out)
        // leaves the report on screen and everything that can be saved as it was. What a failed
        // read holds is given back before the user is told.
        WaitCursor wait;
        // The unsaved mark comes along, so that the view, which clears it once the file is
        // shown, sees it change.
        Document incoming;
        incoming.SetModified(data.Modified());
        if (incoming.Open({.path = LocalPath(path), .fallback = fallback}, data.Settings()).outcome ==
            OpenOutcome::Opened) {
            data = std::move(incoming);
            return 1;
        }
        reason = incoming.ReadError();
    }
    Prompts().Tell(owner, QMessageBox::Warning, QGuiApplication::applicationDisplayName(),
                       UnreadableFileText(path, reason));
    return 0;
}

}  // namespace zendrik
