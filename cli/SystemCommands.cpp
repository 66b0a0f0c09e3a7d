// brisklet-cli ports | ps | stats | volumes | updates: the system-information part of the engine from a terminal.
#include "CliSupport.h"
#include "Commands.h"

#include "platform/Subprocess.h"
#include "scan/ScanRecords.h"
#include "system/PortScanner.h"
#include "system/ProcessLister.h"
#include "system/SoftwareUpdateChecker.h"
#include "system/SystemStats.h"
#include "system/VolumeReader.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace brisklet::cli {

namespace {

using nlohmann::json;

// The options every system command shares; ps adds --sort.
struct Options {
    bool json = false;
    bool help = false;
    std::string sort = "cpu";
};

std::optional<Options> parseOptions(const std::string& command, const Args& args, bool acceptsSort) {
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (acceptsSort && (arg == "--sort" || arg.starts_with("--sort="))) {
            std::string value;
            if (arg == "--sort") {
                if (i + 1 >= args.size()) {
                    usageError("'" + command + " --sort' needs 'cpu' or 'memory'");
                    return std::nullopt;
                }
                value = args[++i];
            } else {
                value = arg.substr(7);
            }
            if (value != "cpu" && value != "memory") {
                usageError("'" + command + " --sort' takes 'cpu' or 'memory', not '" + value + "'");
                return std::nullopt;
            }
            options.sort = value;
        } else {
            usageError("'" + command + "' does not take '" + arg + "' (see brisklet-cli " + command + " --help)");
            return std::nullopt;
        }
    }
    return options;
}

const char* const exitCodesHelp = R"(
Exit status: 0 success, 1 the information could not be read, 2 bad arguments.
)";

std::string padded(std::string text, size_t width) {
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

std::string percent(double fraction) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f%%", fraction * 100.0);
    return buffer;
}

json toJson(const PortEntry& entry) {
    return json{{"transport", std::string(toRawString(entry.transport))},
                {"localAddress", entry.localAddress},
                {"port", entry.port},
                {"pid", entry.hasProcess() ? json(entry.pid) : json(nullptr)},
                {"processName", entry.hasProcess() ? json(entry.processName) : json(nullptr)},
                {"command", entry.command ? json(*entry.command) : json(nullptr)},
                {"parentChain", entry.parentChain},
                {"user", entry.user}};
}

json toJson(const ProcessEntry& entry) {
    return json{{"pid", entry.pid},
                {"name", entry.name},
                {"user", entry.user},
                {"cpuFraction", entry.cpuFraction},
                {"residentBytes", entry.residentBytes}};
}

json toJson(const VolumeInfo& volume) {
    return json{{"id", volume.id},
                {"name", volume.name},
                {"mountPoint", volume.mountPoint},
                {"totalBytes", volume.totalBytes},
                {"freeBytes", volume.freeBytes},
                {"isInternal", volume.isInternal},
                {"isRoot", volume.isRoot},
                {"unavailable", volume.unavailable}};
}

} // namespace

int portsCommand(const Args& args) {
    const auto options = parseOptions("ports", args, false);
    if (!options)
        return exitUsage;
    if (options->help) {
        std::cout << "usage: brisklet-cli ports [--json]\n\n"
                     "Listening TCP ports with the owning user and process, its command line and its\n"
                     "parents. Every user's sockets are listed; the process of another user's socket is\n"
                     "shown only to root (PID '-', JSON pid null).\n\n"
                     "  --json   print a JSON array of port entries\n"
                  << exitCodesHelp;
        return exitOk;
    }
    std::vector<PortEntry> ports;
    try {
        ports = PortScanner::listeningPorts();
    } catch (const Error& error) {
        std::cerr << "brisklet-cli: " << displayText(error.description()) << '\n';
        return exitSomeFailed;
    }
    if (options->json) {
        json list = json::array();
        for (const PortEntry& entry : ports)
            list.push_back(toJson(entry));
        writeJson(std::cout, list);
        return exitOk;
    }
    if (ports.empty()) {
        std::cout << "No listening TCP ports.\n";
        return exitOk;
    }
    std::cout << padded("ADDRESS", 26) << padded("PORT", 7) << padded("USER", 12) << padded("PID", 9)
              << padded("PROCESS", 18) << "COMMAND\n";
    for (const PortEntry& entry : ports) {
        std::cout << padded(displayText(entry.localAddress), 26) << padded(std::to_string(entry.port), 7)
                  << padded(displayText(entry.user), 12)
                  << padded(entry.hasProcess() ? std::to_string(entry.pid) : "-", 9)
                  << padded(displayText(entry.processName), 18) << displayText(entry.command.value_or("")) << '\n';
    }
    return exitOk;
}

int psCommand(const Args& args) {
    const auto options = parseOptions("ps", args, true);
    if (!options)
        return exitUsage;
    if (options->help) {
        std::cout << "usage: brisklet-cli ps [--sort cpu|memory] [--json]\n\n"
                     "Every process with its CPU use over a short interval and its resident memory.\n\n"
                     "  --sort cpu|memory   busiest first (default) or largest resident memory first\n"
                     "  --json              print a JSON array of process entries\n"
                  << exitCodesHelp;
        return exitOk;
    }
    std::vector<ProcessEntry> processes = ProcessLister::sample(0.35);
    if (options->sort == "memory")
        std::stable_sort(processes.begin(), processes.end(), [](const ProcessEntry& a, const ProcessEntry& b) {
            return a.residentBytes != b.residentBytes ? a.residentBytes > b.residentBytes : a.pid < b.pid;
        });
    else
        std::stable_sort(processes.begin(), processes.end(), [](const ProcessEntry& a, const ProcessEntry& b) {
            return a.cpuFraction != b.cpuFraction ? a.cpuFraction > b.cpuFraction : a.pid < b.pid;
        });
    if (options->json) {
        json list = json::array();
        for (const ProcessEntry& entry : processes)
            list.push_back(toJson(entry));
        writeJson(std::cout, list);
        return exitOk;
    }
    std::cout << padded("PID", 9) << padded("USER", 14) << padded("CPU", 9) << padded("MEMORY", 11) << "NAME\n";
    for (const ProcessEntry& entry : processes)
        std::cout << padded(std::to_string(entry.pid), 9) << padded(displayText(entry.user), 14)
                  << padded(percent(entry.cpuFraction), 9) << padded(ByteFormat::humanReadable(entry.residentBytes), 11)
                  << displayText(entry.name) << '\n';
    return exitOk;
}

int statsCommand(const Args& args) {
    const auto options = parseOptions("stats", args, false);
    if (!options)
        return exitUsage;
    if (options->help) {
        std::cout << "usage: brisklet-cli stats [--json]\n\n"
                     "The running system, the processors' busy share over 0.3 s and the memory in use.\n\n"
                     "  --json   print a JSON object with system, cpuUsage and memory (null when unreadable)\n"
                  << exitCodesHelp;
        return exitOk;
    }
    const auto cpu = SystemStats::cpuUsage(0.3);
    const auto memory = SystemStats::memoryUsage();
    const std::string& system = SoftwareUpdateChecker::currentSystemDescription();
    if (options->json) {
        json memoryJson = memory ? json{{"totalBytes", memory->totalBytes}, {"usedBytes", memory->usedBytes}}
                                 : json(nullptr);
        writeJson(std::cout,
                  json{{"system", system}, {"cpuUsage", cpu ? json(*cpu) : json(nullptr)}, {"memory", memoryJson}});
    } else {
        std::cout << "System: " << displayText(system) << '\n';
        std::cout << "CPU:    " << (cpu ? percent(*cpu) + " in use" : std::string("unavailable")) << '\n';
        if (memory)
            std::cout << "Memory: " << ByteFormat::humanReadable(memory->usedBytes) << " of "
                      << ByteFormat::humanReadable(memory->totalBytes) << " in use ("
                      << percent(memory->usedFraction()) << ")\n";
        else
            std::cout << "Memory: unavailable\n";
    }
    return cpu && memory ? exitOk : exitSomeFailed;
}

int volumesCommand(const Args& args) {
    const auto options = parseOptions("volumes", args, false);
    if (!options)
        return exitUsage;
    if (options->help) {
        std::cout << "usage: brisklet-cli volumes [--json]\n\n"
                     "The root file system, then the volumes mounted under /media/$USER, /run/media/$USER\n"
                     "and /mnt, with capacity and the space available to an ordinary user. A volume that\n"
                     "does not answer within 5 seconds (a share whose server went away) is listed as\n"
                     "unavailable, with no sizes (\"unavailable\": true and sizes 0 in JSON).\n\n"
                     "  --json   print a JSON array of volumes\n"
                  << exitCodesHelp;
        return exitOk;
    }
    const std::vector<VolumeInfo> volumes = VolumeReader::mountedVolumes();
    if (options->json) {
        json list = json::array();
        for (const VolumeInfo& volume : volumes)
            list.push_back(toJson(volume));
        writeJson(std::cout, list);
    } else {
        std::cout << padded("NAME", 22) << padded("SIZE", 10) << padded("FREE", 10) << padded("USED", 8)
                  << padded("KIND", 10) << "MOUNT POINT\n";
        for (const VolumeInfo& volume : volumes) {
            std::cout << padded(displayText(volume.name), 22);
            if (volume.unavailable)
                std::cout << padded("unavailable", 28);
            else
                std::cout << padded(ByteFormat::humanReadable(volume.totalBytes), 10)
                          << padded(ByteFormat::humanReadable(volume.freeBytes), 10)
                          << padded(percent(volume.usedFraction()), 8);
            std::cout << padded(volume.isInternal ? "internal" : "external", 10) << displayText(volume.mountPoint) << '\n';
        }
    }
    return volumes.empty() ? exitSomeFailed : exitOk;
}

int updatesCommand(const Args& args) {
    const auto options = parseOptions("updates", args, false);
    if (!options)
        return exitUsage;
    if (options->help) {
        std::cout << "usage: brisklet-cli updates [--json]\n\n"
                     "The system updates the package manager knows of (apt-get in simulation mode: nothing is\n"
                     "downloaded or installed; the lists are those of the last package-list refresh). Kernel\n"
                     "and base-system packages are marked as system updates.\n\n"
                     "  --json   print {\"system\", \"updates\": [{\"title\", \"version\", \"isSystem\"}]}\n"
                  << exitCodesHelp;
        return exitOk;
    }
    const std::string& system = SoftwareUpdateChecker::currentSystemDescription();
    SoftwareUpdateStatus status = SoftwareUpdateStatus::noUpdates();
    try {
        status = SoftwareUpdateChecker::check();
    } catch (const Error& error) {
        std::cerr << "brisklet-cli: " << displayText(error.description()) << '\n';
        return exitSomeFailed;
    }
    const auto& updates = status.updates();
    if (options->json) {
        json list = json::array();
        for (const AvailableSoftwareUpdate& update : updates)
            list.push_back(json{{"title", update.title}, {"version", update.version}, {"isSystem", update.isMacOS()}});
        writeJson(std::cout, json{{"system", system}, {"updates", list}});
        return exitOk;
    }
    std::cout << displayText(system) << '\n';
    if (updates.empty()) {
        std::cout << "No updates available.\n";
        return exitOk;
    }
    const auto systemCount = std::count_if(updates.begin(), updates.end(),
                                           [](const AvailableSoftwareUpdate& update) { return update.isMacOS(); });
    std::size_t titleWidth = 0, versionWidth = 0;
    for (const AvailableSoftwareUpdate& update : updates) {
        titleWidth = std::max(titleWidth, update.title.size());
        versionWidth = std::max(versionWidth, update.version.size());
    }
    for (const AvailableSoftwareUpdate& update : updates) {
        const std::string version = displayText(update.version);
        std::cout << "  " << padded(displayText(update.title), titleWidth + 2)
                  << (update.isMacOS() ? padded(version, versionWidth + 2) + "(system)" : version) << '\n';
    }
    std::cout << updates.size() << (updates.size() == 1 ? " update" : " updates") << ", " << systemCount
              << " of the system\n";
    return exitOk;
}

} // namespace brisklet::cli
