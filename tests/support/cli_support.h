// What the end-to-end tests of zendrik-cli share: running the built program, and what the
// program's own decoding makes of the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/run_process.h"

namespace zendrik {

namespace testing_streams {

// The three report texts of a transfer, decoded in-process with the model its head names.
struct Texts {
    std::string hrm;
    std::string compat;
    std::string csv;
};
Texts Decoded(const std::vector<std::uint8_t>& bytes);

}  // namespace testing_streams

// Runs the built zendrik-cli; `env` entries (NAME=value) are added to its environment.
#ifdef ZENDRIK_CLI_PATH
inline testing_streams::ProcessResult Cli(const std::vector<std::string>& args,
                                          const std::vector<std::string>& env = {}) {
    return testing_streams::RunProcess(ZENDRIK_CLI_PATH, args, env);
}
// The same with standard input, standard output or the working folder set.
inline testing_streams::ProcessResult CliWith(const testing_streams::ProcessStreams& streams,
                                              const std::vector<std::string>& args) {
    return testing_streams::RunProcess(ZENDRIK_CLI_PATH, args, {}, streams);
}
#endif

}  // namespace zendrik
