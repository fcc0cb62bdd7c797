// Opening an input the way the shells do, for tests that look at the document it gives.
#pragma once

#include <string>

#include "document/document.h"

namespace zendrik {

namespace testing_streams {

// Opens `input` into `data` under the settings it holds; 1 when it opened, else its ReadError()
// says why.
inline int OpenInto(Document& data, const DocumentInput& input) {
    return data.Open(input, data.Settings()).outcome == OpenOutcome::Opened ? 1 : 0;
}
inline int OpenInto(Document& data, const std::string& path) { return OpenInto(data, DocumentInput{.path = path}); }

// Settings under which today is `today`, for the Coach's year.
inline DecodeSettings OnDay(DateValue today, int model = 1, ValueFormat values = {}) {
    return {model, std::move(values), [today] { return today; }};
}

}  // namespace testing_streams

}  // namespace zendrik
