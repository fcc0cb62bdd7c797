// Saves what a window shows as a PNG, for the README's screenshots.
#pragma once

#include <QString>

class QWidget;

// Renders the widget (offscreen works) and writes it to `path`; false when that failed.
bool SaveWindowPng(QWidget* window, const QString& path);

// The folder screenshots go to when ZENDRIK_SCREENSHOT_DIR is set, else an empty text.
QString ScreenshotDir();
