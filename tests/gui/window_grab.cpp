#include "window_grab.h"

#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QWidget>

bool SaveWindowPng(QWidget* window, const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    return window->grab().save(path, "PNG");
}

QString ScreenshotDir() { return qEnvironmentVariable("ZENDRIK_SCREENSHOT_DIR"); }
