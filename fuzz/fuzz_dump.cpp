// A dump file as anyone may have edited it: read it, check the bytes against the line rules
// worked out the slow way, write it back, and decode it with the model its head names.
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "reception/dump_file.h"
#include "document/sonic_link_data.h"

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

    CReceivedBytes bytes;
    std::istringstream in(text);
    ParseDump(in, bytes);
    fuzzing::Require(bytes.Elements() == ReadDumpSlowly(text), "dump lines read by their rules");

    // What is written back reads back the same, four characters per byte.
    const std::string written = FormatDump(bytes);
    fuzzing::Require(written.size() == 4 * static_cast<std::size_t>(bytes.GetSize()),
                     "four characters per dumped byte");
    CReceivedBytes again;
    std::istringstream back(written);
    ParseDump(back, again);
    fuzzing::Require(again == bytes, "a written dump reads back the same");

    CSonicLinkData sonic;
    sonic.m_nWatchModel = 3;
    sonic.m_bytes = bytes;
    const int recognised = sonic.DetectModelAndDecode();
    fuzzing::Require(sonic.m_nWatchModel == 3, "the user's model survives a dump");
    if (!recognised) {
        fuzzing::Require(sonic.m_strHrm.empty() && sonic.m_strHrmCompat.empty() &&
                             sonic.m_strCsv.empty() && sonic.m_bValid == 0,
                         "an unrecognised dump leaves nothing to show or save");
    }
    fuzzing::Require(fuzzing::IsWholeCrLfLines(sonic.m_strHrm) &&
                         fuzzing::IsWholeCrLfLines(sonic.m_strHrmCompat) &&
                         fuzzing::IsWholeCrLfLines(sonic.m_strCsv),
                     "report texts are whole CR LF lines");
    if (sonic.m_bValid) fuzzing::Require(!sonic.m_strHrm.empty(), "a savable report has text");
    return 0;
}
