// Saves what a window shows as a PNG, for the README's screenshots, and measures what it shows.
#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

class QImage;
class QRect;
class QWidget;

namespace zendrik {

// Renders the widget (offscreen works) and writes it to `path`; false when that failed.
bool SaveWindowPng(QWidget* window, const QString& path);

// The folder screenshots go to when ZENDRIK_SCREENSHOT_DIR is set, else an empty text.
QString ScreenshotDir();

// The contrast ratio of two colours as WCAG defines it, from 1 (the same) to 21.
double Contrast(QColor a, QColor b);

// The colour most pixels of the area have.
QColor CommonColour(const QImage& image, const QRect& area);

// A dark palette as dark desktop themes set it.
QPalette DarkPalette();

}  // namespace zendrik
