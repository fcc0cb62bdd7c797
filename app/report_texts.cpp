#include "app/report_texts.h"

#include <string_view>

#include "zendrik/writers.h"
#include "document/document.h"

namespace zendrik {

const std::string& HrmTextFor(const Document& data, int hrmFormat) {
    // The RS200/CS200 decoder writes both forms; the others leave the compatible one empty.
    if (hrmFormat != 0 && !data.HrmCompat().empty()) return data.HrmCompat();
    return data.Hrm();
}

std::string CsvTextFor(const Document& data, char separator) {
    return zendrik::CsvForSeparator(data.Csv(), separator);
}

std::string WrappedSentence(const std::string& sentence, std::size_t columns) {
    std::string wrapped;
    std::size_t lineStart = 0;
    std::size_t from = 0;
    while (from < sentence.size()) {
        std::size_t end = sentence.find(' ', from);
        if (end == std::string::npos) end = sentence.size();
        const std::string_view word(sentence.data() + from, end - from);
        if (wrapped.size() > lineStart && wrapped.size() - lineStart + 1 + word.size() > columns) {
            wrapped += "\r\n";
            lineStart = wrapped.size();
        } else if (wrapped.size() > lineStart) {
            wrapped += ' ';
        }
        wrapped += word;
        from = end + 1;
    }
    return wrapped;
}

}  // namespace zendrik
