// The text control of the report view. The frame's commands (copy, about) win over the
// control's own handling of their keys, as accelerators do.
#pragma once

#include <QPlainTextEdit>

class CReportEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CReportEdit(QWidget* parent);

protected:
    bool event(QEvent* event) override;
};
