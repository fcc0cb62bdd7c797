// zendrik-cli: decodes SonicLink recordings and dumps without the desktop program.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "zendrik_version.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);  // reports keep their CR LF as they are
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const CParseResult parsed = ParseCliOptions(args);
    if (!parsed.ok) {
        std::cerr << "zendrik-cli: " << parsed.error << " (try 'zendrik-cli --help')\n";
        return kExitUsage;
    }
    if (parsed.options.help) {
        std::cout << kCliUsage;
        return kExitOk;
    }
    if (parsed.options.version) {
        std::cout << "zendrik-cli " ZENDRIK_VERSION_TEXT "\n";
        return kExitOk;
    }
    return RunCli(parsed.options, std::cout, std::cerr);
}
