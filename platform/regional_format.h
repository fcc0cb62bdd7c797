// The CSV value separators of the user's locale, worked out as the desktop program always has:
// format a number, the time and the date, and take the last character that is not a digit.
#pragma once

#include <QString>

namespace zendrik {

// Scans from the last character towards the first and returns the first non-digit, or
// `fallback` when there is none.
QChar LastNonDigit(const QString& text, QChar fallback);

struct RegionalSeparators {
    char decimal = '.';
    char time = ':';
    char date = '.';
};

// The separators of QLocale::system(); a character outside the 8-bit range of the report texts
// keeps its default.
RegionalSeparators SystemSeparators();

}  // namespace zendrik
