// brisklet-cli: the engine from a terminal.
#include "CliSupport.h"
#include "Commands.h"

#include <cerrno>
#include <cstring>
#include <malloc.h>
#include <iostream>
#include <map>

namespace {

const char* const usage = R"(usage: brisklet-cli COMMAND [ARGS...]

Commands:
  scan PATH            where the space goes under PATH (stored, to compare with later scans)
  scans [PATH]         the stored scans, of all folders or of PATH
  diff SCAN SCAN       what grew and shrank between two stored scans
  trash PATH...        move items to the Trash (checked against protected locations, audited)
  history              recent removals from the audit log
  clean                measure the cleanable caches, logs and developer data
  apps                 installed applications with their sizes
  leftovers APP_PATH   an application's leftover files
  ports                listening TCP ports with their processes
  ps                   processes with their CPU and memory use
  stats                CPU and memory use of the machine
  volumes              mounted volumes with their capacities
  updates              system updates the package manager knows of

Run 'brisklet-cli COMMAND --help' for a command's options, 'brisklet-cli --version' for the version.

Exit status: 0 success, 1 some items or places failed, 2 bad arguments or unusable input.
)";

} // namespace

int main(int argc, char** argv) {
    using namespace brisklet::cli;
    // A scan allocates hundreds of thousands of small nodes: grow the heap in large steps.
    mallopt(M_TOP_PAD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    static const std::map<std::string, int (*)(const Args&)> commands{
        {"scan", scanCommand},   {"scans", scansCommand},         {"diff", diffCommand},
        {"trash", trashCommand},         {"history", historyCommand},
        {"clean", cleanCommand}, {"apps", appsCommand},           {"leftovers", leftoversCommand},
        {"ports", portsCommand}, {"ps", psCommand},               {"stats", statsCommand},
        {"volumes", volumesCommand}, {"updates", updatesCommand}};

    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        (argc < 2 ? std::cerr : std::cout) << usage;
        return argc < 2 ? exitUsage : exitOk;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::cout << "brisklet-cli " BRISKLET_VERSION "\n";
        return std::cout.flush() ? exitOk : exitSomeFailed;
    }
    const auto command = commands.find(argv[1]);
    if (command == commands.end())
        return usageError(std::string("unknown command '") + argv[1] + "' (see brisklet-cli --help)");
    int status = exitSomeFailed;
    try {
        status = command->second(Args(argv + 2, argv + argc));
    } catch (const std::exception& error) {
        std::cerr << "brisklet-cli: " << displayText(error.what()) << '\n';
    }
    // Standard output is buffered: a full disk or a closed pipe shows only when it is flushed.
    if (!std::cout.flush()) {
        std::cerr << "brisklet-cli: cannot write the output: " << std::strerror(errno) << '\n';
        return status == exitOk ? exitSomeFailed : status;
    }
    return status;
}
