// Runs a program to completion and collects what it wrote, for end-to-end tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace zendrik {

namespace testing_streams {

struct ProcessResult {
    int exitCode = -1;  // -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Where a program's standard streams lead, when not to the files RunProcess reads back.
struct ProcessStreams {
    std::string input = "/dev/null";  // the file standard input reads
    std::string output;               // a file for standard output instead of capturing it
    bool outputClosed = false;        // standard output a pipe whose reader has already gone
    std::string workDir;              // the folder it runs in ("" for the test's own)
};

// Runs `program` with `args`; `env` entries (NAME=value) are added to the environment.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {},
                         const ProcessStreams& streams = {});

// The whole content of a file, or "" when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace testing_streams

}  // namespace zendrik
