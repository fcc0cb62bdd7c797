#include "decoders/block_table.h"

#include "decoders/text_append.h"

void AppendBufferTooSmall(std::string& text, int blocks) {
    Append(text, "Internal Buffer too small (", blocks, " Blocks)!\r\n");
}

void AppendBlockCrcError(std::string& text, int block, unsigned stored, unsigned computed) {
    Append(text, "CRC Error Block ", block, ": BlockCRC: ", Hex4(stored), ", expected: ", Hex4(computed), "\r\n");
}

std::vector<std::string> MessageLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t end = text.find('\n', from);
        if (end == std::string_view::npos) end = text.size();
        std::size_t stop = end;
        if (stop > from && text[stop - 1] == '\r') --stop;
        if (stop > from) lines.emplace_back(text.substr(from, stop - from));
        from = end + 1;
    }
    return lines;
}
