#include "decoders/block_table.h"

#include "decoders/text_append.h"

void AppendBufferTooSmall(std::string& text, int blocks) {
    Append(text, "Internal Buffer too small (", blocks, " Blocks)!\r\n");
}

void AppendBlockCrcError(std::string& text, int block, unsigned stored, unsigned computed) {
    Append(text, "CRC Error Block ", block, ": BlockCRC: ", Hex4(stored), ", expected: ", Hex4(computed), "\r\n");
}
