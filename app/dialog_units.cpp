#include "app/dialog_units.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>

namespace zendrik {

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average over the letters, as dialog units have always been measured, and not
    // rounded: the font's own average width field (and rounding) understate wide faces and
    // would clip texts sized for a narrow one.
    m_cx = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
    m_cy = metrics.height();
}

QFont TemplateFont() {
    if (QFontDatabase::hasFamily(QStringLiteral("MS Sans Serif"))) return QFont(QStringLiteral("MS Sans Serif"), 8);
    return QApplication::font("QDialog");
}

}  // namespace zendrik
