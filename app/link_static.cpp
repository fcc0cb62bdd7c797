#include "app/link_static.h"

#include <QDesktopServices>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPalette>
#include <QUrl>

namespace zendrik {

namespace {

LinkOpener& InstalledOpener() {
    static LinkOpener opener;
    return opener;
}

void OpenLink(const QUrl& url) {
    if (const LinkOpener& opener = InstalledOpener()) {
        opener(url);
        return;
    }
    // Whether a handler was found is not our business: the click simply does nothing then.
    (void)QDesktopServices::openUrl(url);
}

}  // namespace

void SetLinkOpener(LinkOpener opener) {
    InstalledOpener() = std::move(opener);
}

LinkStatic::LinkStatic(QWidget* parent)
    : QLabel(parent),
      m_crText(palette().color(QPalette::WindowText)),
      m_font(QFontDatabase::systemFont(QFontDatabase::GeneralFont)) {
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // No background of its own, so the text sits on whatever frame lies beneath it; and
    // without a link it lets clicks and the pointer through as well.
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    ApplyColors();
    ApplyFont();
}

void LinkStatic::SetColor(const QColor& color) {
    m_crText = color;
    ApplyColors();
}

void LinkStatic::SetBold(int flag) {
    m_font.setWeight(flag ? QFont::Bold : QFont::Normal);
    ApplyFont();
}

void LinkStatic::SetUnderline(int flag) {
    m_font.setUnderline(flag != 0);
    ApplyFont();
}

void LinkStatic::SetFontSize(int n) {
    // The character height, not the cell height: what a pixel size is in Qt.
    m_font.setPixelSize(n);
    ApplyFont();
}

void LinkStatic::SetFontName(const QString& name) {
    m_font.setFamily(name);
    ApplyFont();
}

void LinkStatic::SetLink(const QString& url) {
    m_url = url;
    setAttribute(Qt::WA_TransparentForMouseEvents, url.isEmpty());
}

void LinkStatic::SetLinkCursor(const QCursor& cursor) {
    m_cursor = cursor;
    setCursor(cursor);
}

void LinkStatic::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !m_url.isEmpty()) OpenLink(QUrl(m_url));
    QLabel::mousePressEvent(event);
}

void LinkStatic::ApplyFont() {
    setFont(m_font);
    repaint();
}

void LinkStatic::ApplyColors() {
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, m_crText);
    setPalette(colors);
    repaint();
}

}  // namespace zendrik
