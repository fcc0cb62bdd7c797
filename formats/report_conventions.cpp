#include "formats/report_conventions.h"

#include "decoders/text_append.h"

namespace zendrik {

std::string HrmLineToCsv(std::string_view line) {
    std::string copy(line);
    const std::size_t equals = copy.find('=');
    if (equals != std::string::npos && equals != 0) copy[equals] = '\t';
    return copy;
}

std::string FormatHrmTime(const zendrik::WatchTime& t) {
    return Concat(ZeroPad(t.hours, 2), ':', ZeroPad(t.minutes, 2), ':', ZeroPad(t.seconds, 2), '.',
                  t.tenths);
}

std::string FormatHrmDate(const DateValue& d) {
    return Concat(SpacePad(d.year, 4), ZeroPad(d.month, 2), ZeroPad(d.day, 2));
}

std::string FormatHrmTenths(long long tenths) { return Concat(tenths / 10, '.', tenths % 10); }

std::string ValueFormat::FormatCsvTime(int hours, int minutes, int seconds, int tenths) const {
    std::string out = Concat(ZeroPad(hours, 2), timeSep, ZeroPad(minutes, 2), timeSep,
                             ZeroPad(seconds, 2));
    if (!noTenths) Append(out, decimalSep, tenths);
    return out;
}

std::string ValueFormat::FormatCsvDate(const DateValue& d) const {
    return Concat(ZeroPad(d.day, 2), dateSep, ZeroPad(d.month, 2), dateSep, SpacePad(d.year, 4));
}

std::string ValueFormat::FormatCsvTenths(long long tenths) const {
    return Concat(tenths / 10, decimalSep, tenths % 10);
}

}  // namespace zendrik
