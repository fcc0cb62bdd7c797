// What zendrik-cli does with its parsed options.
#pragma once

#include <ostream>
#include <string>

#include "cli/cli_options.h"

namespace zendrik {

enum CliExit {
    kExitOk = 0,
    kExitInput = 1,     // the input cannot be read or is rejected, the output cannot be written,
                        // or memory ran out
    kExitUsage = 2,
    kExitInvalid = 3,   // decoding ran but the report is not valid
    kExitNoModel = 4,   // a dump whose head names no known watch model
    kExitNoTransfer = 5,  // --microphone: no complete transfer arrived in time
};

class Document;
struct DecodeSettings;

// Decodes (or synthesizes) as the options say, each INPUT in turn; reports go to `out` unless -o
// names a file or a folder. With several INPUTs the result is the highest status of theirs.
int RunCli(const CliOptions& options, std::ostream& out, std::ostream& err);

// What the options say to decode and render under: the watch model, the CSV value separators
// and the tenths rule.
DecodeSettings SettingsFor(const CliOptions& options);

// Writes the decoded report as the options ask (separators, format, -o), or tells on `err` why
// there is none. `inputName` names the input in messages ("" when there is no file to name).
int WriteReport(const CliOptions& options, Document& data, const std::string& inputName,
                std::ostream& out, std::ostream& err);

// FIT is binary: when it would go to standard output and that is a terminal, says so on `err`
// and gives true (the run then ends with kExitUsage before reading anything).
bool RefuseBinaryToTerminal(const CliOptions& options, bool outputIsTerminal, std::ostream& err);

// Writes `bytes` to standard output (`out`) and flushes it; on failure says so on `err` and
// gives kExitInput.
int WriteStandardOutput(std::string_view bytes, std::ostream& out, std::ostream& err);

// Records a transfer from the default audio input and writes its report.
// Draws the chart of the decoded exercise as --plot asks; 1 when it cannot be drawn or written,
// 3 when the input holds no exercise to draw.
int PlotExercise(const CliOptions& options, const Document& data, const std::string& inputName,
                 std::ostream& err);
int RunMicrophone(const CliOptions& options, std::ostream& out, std::ostream& err);

}  // namespace zendrik
