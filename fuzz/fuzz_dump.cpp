// A dump file as anyone may have edited it: read it, check the bytes against the line rules
// worked out the slow way, write it back, and decode it with the model its head names.
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "reception/dump_file.h"
#include "document/document.h"

using namespace zendrik;

namespace {

// The dump rules spelt out with whole lines kept in memory: a UTF-8 byte-order mark at the start
// is skipped, a line ends at LF, a CR stands for the character after it, a last line without LF
// is dropped, and a two-character line is two hexadecimal digits counted the way dumps have
// always been counted.
std::vector<std::int32_t> ReadDumpSlowly(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = text.starts_with("\xEF\xBB\xBF") ? 3 : 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            if (++i == text.size()) break;
            c = text[i];
        }
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line.push_back(c);
        }
    }
    auto digit = [](char raw) {
        int c = static_cast<signed char>(raw);
        if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
        return (c >= '0' && c <= '9') ? c - '0' : c - 'A' + 10;
    };
    std::vector<std::int32_t> bytes;
    for (const std::string& l : lines) {
        if (l.size() != 2) continue;
        const int value = 16 * digit(l[0]) + digit(l[1]);
        if (value >= 0 && value <= 255) bytes.push_back(value);
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    ReceivedBytes bytes;
    std::istringstream in(text);
    ParseDump(in, bytes);
    fuzzing::Require(bytes.Elements() == ReadDumpSlowly(text), "dump lines read by their rules");

    // What is written back reads back the same, four characters per byte.
    const std::string written = FormatDump(bytes);
    fuzzing::Require(written.size() == 4 * static_cast<std::size_t>(bytes.GetSize()),
                     "four characters per dumped byte");
    ReceivedBytes again;
    std::istringstream back(written);
    ParseDump(back, again);
    fuzzing::Require(again == bytes, "a written dump reads back the same");

    Document sonic;
    sonic.SetWatchModel(3);
    const int recognised = sonic.DecodeBytes(bytes, ModelBy::StreamHead);
    fuzzing::Require(sonic.Settings().watchModel == 3, "the user's model survives a dump");
    if (!recognised) {
        fuzzing::Require(sonic.Hrm().empty() && sonic.HrmCompat().empty() &&
                             sonic.Csv().empty() && sonic.Valid() == 0,
                         "an unrecognised dump leaves nothing to show or save");
    }
    fuzzing::Require(fuzzing::IsWholeCrLfLines(sonic.Hrm()) &&
                         fuzzing::IsWholeCrLfLines(sonic.HrmCompat()) &&
                         fuzzing::IsWholeCrLfLines(sonic.Csv()),
                     "report texts are whole CR LF lines");
    if (sonic.Valid()) fuzzing::Require(!sonic.Hrm().empty(), "a savable report has text");
    return 0;
}
