// The text control of the report view. The frame's commands (copy, about) win over the
// control's own handling of their keys, as accelerators do.
#pragma once

#include <QPlainTextEdit>

namespace zendrik {

class ReportEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit ReportEdit(QWidget* parent);

    static constexpr int kLeftMargin = 3;
    int LeftMargin() const { return viewportMargins().left(); }

protected:
    bool event(QEvent* event) override;
};

}  // namespace zendrik
