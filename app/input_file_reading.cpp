#include "app/input_file_reading.h"

#include <QDir>
#include <QGuiApplication>

#include "app/file_dialogs.h"
#include "app/user_prompts.h"
#include "app/wait_cursor.h"
#include "document/document.h"

namespace zendrik {

namespace {

// A document that decodes as `data` does (watch model, value format, clock), with nothing
// received yet. The unsaved mark comes along, so that the view, which clears it once the file
// is shown, sees it change.
void PrepareLike(Document& incoming, const Document& data) {
    incoming.m_modified = data.m_modified;
    incoming.m_watchModel = data.m_watchModel;
    incoming.m_decimalSep = data.m_decimalSep;
    incoming.m_timeSep = data.m_timeSep;
    incoming.m_dateSep = data.m_dateSep;
    incoming.m_noTenths = data.m_noTenths;
    incoming.m_utcToday = data.m_utcToday;
}

}  // namespace

QString UnreadableFileText(const QString& path, const std::string& reason) {
    // The reason stands on a line of its own, as a sentence.
    QString why = QString::fromStdString(reason);
    if (!why.isEmpty()) why[0] = why[0].toUpper();
    if (!why.endsWith(u'.')) why += u'.';
    return QStringLiteral("Cannot read %1:\n%2").arg(QDir::toNativeSeparators(path), why);
}

int ReadInputFile(Document& data, const QString& path, zendrik::InputKind fallback, QWidget* owner) {
    const std::string local = LocalPath(path);
    std::string reason;
    {
        // Reading goes into an object of its own: whatever fails on the way (a file gone since
        // it was chosen, a rejected recording, a dump without a transfer, memory running out)
        // leaves the report on screen and everything that can be saved as it was. What a failed
        // read holds is given back before the user is told.
        Document incoming;
        PrepareLike(incoming, data);
        WaitCursor wait;
        std::ifstream probe;
        reason = zendrik::OpenInputFile(local, probe);
        if (reason.empty()) {
            zendrik::InputKind kind = zendrik::InputKindOf(local, zendrik::FirstBytesOf(local));
            if (kind == zendrik::InputKind::Unknown) kind = fallback;
            int read = 0;
            switch (kind) {
                case zendrik::InputKind::Recording:
                    read = incoming.DecodeWaveFile(local);
                    if (!read && incoming.m_readError.empty()) reason = "the recording holds no sound";
                    break;
                case zendrik::InputKind::Dump:
                    read = incoming.LoadDumpFile(local);
                    break;
                case zendrik::InputKind::Unknown:
                    reason = "neither a WAV recording nor a SonicLink dump (.sld)";
                    break;
            }
            if (read) {
                incoming.m_path = local;
                data = std::move(incoming);
                return 1;
            }
            if (reason.empty()) reason = incoming.m_readError.empty() ? "it cannot be read" : incoming.m_readError;
        }
    }
    Prompts().Tell(owner, QMessageBox::Warning, QGuiApplication::applicationDisplayName(),
                       UnreadableFileText(path, reason));
    return 0;
}

}  // namespace zendrik
