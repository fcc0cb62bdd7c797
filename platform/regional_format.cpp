#include "platform/regional_format.h"

#include <QDate>
#include <QLocale>
#include <QTime>

namespace zendrik {

namespace {

// The report texts are 8-bit; a separator they cannot hold keeps the default.
char ToReportChar(QChar c, char fallback) {
    const char16_t code = c.unicode();
    return (code > 0 && code <= 0xFF) ? static_cast<char>(code) : fallback;
}

// The user's short time format without its AM/PM marker (and time zone), so the separator found
// is the one between the digits.
QString TimeFormatWithoutMarker(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    QString kept;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'') quoted = !quoted;
        if (!quoted && (c == u'a' || c == u'A' || c == u'p' || c == u'P' || c == u't')) continue;
        kept += c;
    }
    return kept.trimmed();
}

}  // namespace

QChar LastNonDigit(const QString& text, QChar fallback) {
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        if (!text.at(i).isDigit()) return text.at(i);
    }
    return fallback;
}

RegionalSeparators SystemSeparators() {
    const QLocale locale = QLocale::system();
    RegionalSeparators separators;
    separators.decimal = ToReportChar(LastNonDigit(locale.toString(1.0, 'f', 2), u'.'), '.');
    const QString time = locale.toString(QTime::currentTime(), TimeFormatWithoutMarker(locale));
    separators.time = ToReportChar(LastNonDigit(time.trimmed(), u':'), ':');
    const QString date = locale.toString(QDate::currentDate(), QLocale::ShortFormat);
    separators.date = ToReportChar(LastNonDigit(date, u'.'), '.');
    return separators;
}

}  // namespace zendrik
