// Writing report files so that a failure never costs a file that was there before.
#pragma once

#include <string>
#include <string_view>

// Replaces the file at `path` by `bytes` whole or not at all: they are written to a file beside
// it, which is then renamed over it (a link is followed to the file it names). A device such as
// /dev/null is written directly. Returns "" on success, else the reason in words.
std::string ReplaceFileWith(const std::string& path, std::string_view bytes);

// What WriteNewFileIn did: the path of the file written, or why nothing was written.
struct NewFile {
    std::string path;
    std::string error;
};

// Writes `bytes` into `folder` under `name`, or under the first of name-2, name-3, ... that no
// file holds yet (see zendrik::NumberedReportName); an existing file is never replaced, even
// when another program takes a name at the same moment.
NewFile WriteNewFileIn(const std::string& folder, const std::string& name, std::string_view bytes);
