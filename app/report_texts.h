// The report texts as the view shows them and the save command writes them, so that what is
// saved (or copied) is what is on screen.
#pragma once

#include <cstddef>
#include <string>

namespace zendrik {

class Document;

// The HRM text of the form `hrmFormat` chooses (0 Enhanced, any other value Polar Compatible).
// Only an RS200/CS200 report has a Polar Compatible form; every other report gives its Enhanced
// text, rather than nothing.
const std::string& HrmTextFor(const Document& data, int hrmFormat);

// The CSV text with `separator` between the fields; a field holding the separator or a double
// quote is quoted, so a spreadsheet sees the fields the report has.
std::string CsvTextFor(const Document& data, char separator);

// A sentence of the program's own (an explanation or a hint, never a report line) broken at
// spaces into CR LF lines of at most `columns` characters: the view does not wrap its text, so
// that report lines stay as they are, and a long sentence would run out of the window.
std::string WrappedSentence(const std::string& sentence, std::size_t columns = 52);

}  // namespace zendrik
