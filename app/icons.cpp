#include "app/icons.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace zendrik {

namespace {

QPixmap Render(const QString& resource, QSize size, qreal scale) {
    QSvgRenderer renderer(resource);
    QPixmap pixmap(size * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

QIcon RenderIcon(const QString& resource, const QList<QSize>& sizes) {
    QIcon icon;
    for (const QSize& size : sizes) {
        icon.addPixmap(Render(resource, size, 1.0));
        icon.addPixmap(Render(resource, size, 2.0));
    }
    return icon;
}

}  // namespace

QIcon AppIcon() {
    return RenderIcon(QStringLiteral(":/icons/zendrik.svg"),
                      {QSize(16, 16), QSize(32, 32), QSize(48, 48), QSize(64, 64), QSize(128, 128)});
}

bool ToolbarImagesAvailable() {
    for (const char* name : {"open", "microphone", "save", "properties", "about"}) {
        if (!QSvgRenderer(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name))).isValid()) return false;
    }
    return true;
}

QIcon ToolbarIcon(const QString& name) {
    return RenderIcon(QStringLiteral(":/icons/%1.svg").arg(name), {QSize(16, 17)});
}

}  // namespace zendrik
