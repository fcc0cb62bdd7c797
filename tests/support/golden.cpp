#include "support/golden.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace zendrik {

namespace golden {

namespace {

// Splits after every LF, so each piece keeps its own line end and a missing CR stays visible.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return lines;
}

bool Updating() {
    const char* update = std::getenv("ZENDRIK_UPDATE_GOLDEN");
    return update && std::string_view(update) == "1";
}

// Written beside the file and renamed over it, so tests running side by side that share a golden
// file never see half of one.
bool Replace(const std::filesystem::path& path, std::string_view text) {
    const std::filesystem::path temporary = path.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!out.flush()) return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    return !error;
}

}  // namespace

std::string Visible(std::string_view line) {
    std::string out;
    for (const char c : line) {
        const auto u = static_cast<unsigned char>(c);
        char escape = 0;
        if (c == '\r') escape = 'r';
        if (c == '\n') escape = 'n';
        if (c == '\t') escape = 't';
        if (c == '\\') escape = '\\';
        if (escape) {
            out.push_back('\\');
            out.push_back(escape);
        } else if (u < 0x20 || u >= 0x7F) {
            static const char kHex[] = "0123456789ABCDEF";
            out.push_back('\\');
            out.push_back('x');
            out.push_back(kHex[u >> 4]);
            out.push_back(kHex[u & 0xF]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

::testing::AssertionResult SameText(const char* expectedExpr, const char* actualExpr,
                                    std::string_view expected, std::string_view actual) {
    if (expected == actual) return ::testing::AssertionSuccess();
    const std::vector<std::string_view> want = SplitLines(expected);
    const std::vector<std::string_view> got = SplitLines(actual);
    std::size_t i = 0;
    while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
    auto show = [](const std::vector<std::string_view>& lines, std::size_t at) {
        if (at >= lines.size()) return std::string("<end of text>");
        std::string quoted(1, '"');
        quoted += Visible(lines[at]);
        quoted.push_back('"');
        return quoted;
    };
    return ::testing::AssertionFailure()
           << actualExpr << " differs from " << expectedExpr << " at line " << (i + 1) << "\n"
           << "  expected: " << show(want, i) << "\n"
           << "  actual:   " << show(got, i) << "\n"
           << "  (" << want.size() << " expected lines, " << got.size() << " actual lines)";
}

::testing::AssertionResult MatchesGolden(const char* nameExpr, const char* actualExpr,
                                         std::string_view name, std::string_view actual) {
    const std::filesystem::path path = std::filesystem::path(ZENDRIK_GOLDEN_DIR) / name;
    std::ifstream in(path, std::ios::binary);
    const bool found = static_cast<bool>(in);
    const std::string expected{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (found && expected == actual) return ::testing::AssertionSuccess();
    if (Updating()) {
        if (Replace(path, actual)) {
            std::fprintf(stderr, "golden file %s rewritten\n", path.c_str());
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "could not write the golden file " << path;
    }
    if (!found) {
        return ::testing::AssertionFailure()
               << "no golden file " << path << " for " << nameExpr
               << ": run the test with ZENDRIK_UPDATE_GOLDEN=1 to write it, then read it";
    }
    return SameText(path.c_str(), actualExpr, expected, actual)
           << "\n  (ZENDRIK_UPDATE_GOLDEN=1 rewrites the file if the change is meant)";
}

std::string LineStartingWith(std::string_view text, std::string_view prefix) {
    for (std::string_view line : SplitLines(text)) {
        if (line.substr(0, prefix.size()) == prefix) return std::string(line);
    }
    return {};
}

}  // namespace golden

}  // namespace zendrik
