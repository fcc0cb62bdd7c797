// Writing files so that a failure never costs a file that was there before: every file the
// programs write (reports, dumps, exports, recordings, charts) goes through here.
#pragma once

#include <string>
#include <string_view>

namespace zendrik {

// How a whole-file write ended.
struct FileWrite {
    std::string error;    // "" when the file was written, else the reason in words
    bool opened = true;   // false when the file could not even be created
    int code = 0;         // the file device's error code (QFileDevice::FileError), 0 on success
    bool Ok() const { return error.empty(); }
};

// Replaces the file at `path` by `bytes` whole or not at all: they are written to a file beside
// it, which is then renamed over it (a link is followed to the file it names). A device such as
// /dev/null is written directly.
FileWrite ReplaceFileWith(const std::string& path, std::string_view bytes);

// What WriteNewFileIn did: the path of the file written (or of the file that already holds the
// bytes), or why nothing was written.
struct NewFile {
    std::string path;
    std::string error;
    bool unchanged = false;  // a file of that name or a numbered one already held these bytes
};

// Writes `bytes` into `folder` under `name`, or under the first of name-2, name-3, ... that no
// file holds yet (see NumberedReportName); an existing file is never replaced, even when another
// program takes a name at the same moment. When `name` or one of its numbered names already
// holds exactly these bytes, nothing is written and that file is named with `unchanged` set, so
// running the same batch twice leaves the folder as it was.
NewFile WriteNewFileIn(const std::string& folder, const std::string& name, std::string_view bytes);

}  // namespace zendrik
