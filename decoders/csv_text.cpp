#include "decoders/csv_text.h"

namespace zendrik {

namespace {

void AppendField(std::string& out, std::string_view field, char separator) {
    if (field.find(separator) == std::string_view::npos && field.find('"') == std::string_view::npos) {
        out.append(field);
        return;
    }
    out.push_back('"');
    for (char c : field) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

}  // namespace

std::string CsvForSeparator(std::string_view tabText, char separator) {
    std::string out;
    out.reserve(tabText.size() + tabText.size() / 16);
    std::size_t fieldStart = 0;
    for (std::size_t i = 0; i <= tabText.size(); ++i) {
        const bool end = i == tabText.size();
        const char c = end ? '\0' : tabText[i];
        if (!end && c != '\t' && c != '\r' && c != '\n') continue;
        AppendField(out, tabText.substr(fieldStart, i - fieldStart), separator);
        if (!end) out.push_back(c == '\t' ? separator : c);
        fieldStart = i + 1;
    }
    return out;
}

}  // namespace zendrik
