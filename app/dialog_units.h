// Laying dialogs out in dialog units, so they keep their proportions in whatever font they are
// drawn with.
#pragma once

#include <QFont>
#include <QRect>

namespace zendrik {

// A quarter of the dialog font's average character width across, an eighth of its height down.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    QRect Rect(int left, int top, int width, int height) const {
        return QRect(X(left), Y(top), X(width), Y(height));
    }
    int X(int du) const { return qRound(du * m_cx / 4.0); }
    int Y(int du) const { return qRound(du * m_cy / 8.0); }

private:
    double m_cx = 1.0;
    double m_cy = 1.0;
};

// The font the dialog layouts were made for (MS Sans Serif 8), or the application's own dialog
// font where that face is missing.
QFont TemplateFont();

}  // namespace zendrik
