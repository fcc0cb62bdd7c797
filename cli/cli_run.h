// What zendrik-cli does with its parsed options.
#pragma once

#include <ostream>

#include "cli/cli_options.h"

enum CliExit {
    kExitOk = 0,
    kExitInput = 1,     // the input cannot be read or is rejected, or the output cannot be written
    kExitUsage = 2,
    kExitInvalid = 3,   // decoding ran but the report is not valid
    kExitNoModel = 4,   // a dump whose head names no known watch model
    kExitNoTransfer = 5,  // --microphone: no complete transfer arrived in time
};

class CSonicLinkData;

// Decodes (or synthesizes) as the options say; reports go to `out` unless -o names a file.
int RunCli(const CCliOptions& options, std::ostream& out, std::ostream& err);

// Writes the decoded report as the options ask (separators, format, -o), or the error lines
// when it is not valid.
int WriteReport(const CCliOptions& options, CSonicLinkData& data, std::ostream& out, std::ostream& err);

// Records a transfer from the default audio input and writes its report.
int RunMicrophone(const CCliOptions& options, std::ostream& out, std::ostream& err);
