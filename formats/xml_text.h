// Text for XML documents the core writes.
#pragma once

#include <string>
#include <string_view>

namespace zendrik {

// Appends text as XML character data: markup characters escaped, characters XML 1.0 forbids
// dropped, and bytes that are not UTF-8 replaced by U+FFFD, so any input gives a well-formed
// document.
void AppendXmlText(std::string& out, std::string_view text);

}  // namespace zendrik
