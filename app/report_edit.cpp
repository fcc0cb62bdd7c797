#include "app/report_edit.h"

#include <QKeyEvent>

namespace zendrik {

ReportEdit::ReportEdit(QWidget* parent) : QPlainTextEdit(parent) {
    // The text starts 3 pixels in from the left edge and right at the top.
    document()->setDocumentMargin(0);
    setViewportMargins(kLeftMargin, 0, 0, 0);
}

bool ReportEdit::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool copy = key->matches(QKeySequence::Copy) ||
                          (key->key() == Qt::Key_Insert && key->modifiers() == Qt::ControlModifier);
        // Declining the override lets the window's shortcut of the same key run instead.
        if (copy || key->text() == QStringLiteral("?")) return false;
    }
    return QPlainTextEdit::event(event);
}

}  // namespace zendrik
