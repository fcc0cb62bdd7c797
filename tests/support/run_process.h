// Runs a program to completion and collects what it wrote, for end-to-end tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testing_streams {

struct ProcessResult {
    int exitCode = -1;  // -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs `program` with `args`; `env` entries (NAME=value) are added to the environment.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {});

// The whole content of a file, or "" when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace testing_streams
