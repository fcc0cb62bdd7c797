// A static text with its own colour and font that, given a link, opens it when clicked.
#pragma once

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QLabel>
#include <QString>
#include <functional>
#include <optional>

class QUrl;

namespace zendrik {

class LinkStatic : public QLabel {
    Q_OBJECT
public:
    explicit LinkStatic(QWidget* parent = nullptr);

    // Draws the text in `color` from now on.
    void SetColor(const QColor& color);
    // Bold text when `flag` is non-zero, normal weight otherwise.
    void SetBold(int flag);
    // Underlined text when `flag` is non-zero.
    void SetUnderline(int flag);
    // Characters `n` pixels high.
    void SetFontSize(int n);
    // The font face to draw with.
    void SetFontName(const QString& name);
    // The address a click opens; an empty one makes the text ignore the mouse altogether.
    void SetLink(const QString& url);
    // The pointer shown over the text.
    void SetLinkCursor(const QCursor& cursor);

    // The colour the text is drawn in.
    QColor TextColor() const { return m_crText; }
    // The address a click opens, empty when there is none.
    const QString& Link() const { return m_url; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void ApplyFont();
    void ApplyColors();

    QColor m_crText;
    QFont m_font;
    QString m_url;
    std::optional<QCursor> m_cursor;
};

// Hands a link to the desktop to open with its default handler.
using LinkOpener = std::function<void(const QUrl&)>;

// Installs what clicked links are handed to; an empty function goes back to the desktop.
void SetLinkOpener(LinkOpener opener);

}  // namespace zendrik
