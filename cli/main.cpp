// zendrik-cli: decodes SonicLink recordings and dumps without the desktop program.
#include <csignal>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "document/document.h"
#include "zendrik_version.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>

namespace zendrik {

#endif

namespace {

int Run(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParseResult parsed = ParseCliOptions(args);
    if (!parsed.ok) {
        std::cerr << "zendrik-cli: " << parsed.error << " (try 'zendrik-cli --help')\n";
        return kExitUsage;
    }
    if (parsed.options.help) return WriteStandardOutput(kCliUsage, std::cout, std::cerr);
    if (parsed.options.version) {
        return WriteStandardOutput("zendrik-cli " ZENDRIK_VERSION_TEXT "\n", std::cout, std::cerr);
    }
    for (const std::string& warning : parsed.warnings) std::cerr << "zendrik-cli: " << warning << "\n";
#ifdef _WIN32
    const bool terminal = _isatty(_fileno(stdout)) != 0;
#else
    const bool terminal = isatty(STDOUT_FILENO) == 1;
#endif
    if (RefuseBinaryToTerminal(parsed.options, terminal, std::cerr)) return kExitUsage;
    return RunCli(parsed.options, std::cout, std::cerr);
}

}  // namespace

}  // namespace zendrik

using namespace zendrik;

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);  // recordings and dumps are read byte for byte
    _setmode(_fileno(stdout), _O_BINARY);  // reports keep their CR LF as they are
    _setmode(_fileno(stderr), _O_BINARY);
#else
    // A reader that goes away (zendrik-cli x.sld | head -1) makes the write fail with EPIPE,
    // which is reported and gives a status a script can read, rather than killing the program.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    std::ios::sync_with_stdio(false);
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::cerr << "zendrik-cli: " << kOutOfMemoryReason << "\n";
        return kExitInput;
    }
}
