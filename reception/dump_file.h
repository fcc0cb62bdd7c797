// The SonicLink dump: one received byte per line, two upper-case hexadecimal digits and CR LF.
#pragma once

#include <istream>
#include <string>

#include "reception/received_bytes.h"

namespace zendrik {

// Appends the bytes of the dump lines in `in` to out. A line ends at LF and a CR stands for the
// character after it; lines of exactly two characters are read as hexadecimal (either case),
// every other line, and a last line without its LF, is skipped. A UTF-8 byte-order mark at the
// very start is skipped too.
void ParseDump(std::istream& in, ReceivedBytes& out);

// The dump text of the bytes, 4 characters per byte.
std::string FormatDump(const ReceivedBytes& bytes);

}  // namespace zendrik
