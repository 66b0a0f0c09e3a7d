// brisklet-cli clean | apps | leftovers: the cleanup catalog and the applications from a terminal.
#include "CliSupport.h"
#include "Commands.h"

#include "apps/AppCatalog.h"
#include "apps/LeftoverScanner.h"
#include "clean/CleanCatalog.h"
#include "platform/FileServices.h"
#include "scan/ScanDefaults.h"

#include <algorithm>
#include <iomanip>
#include <iostream>
#include <thread>

namespace brisklet::cli {

namespace {

const char* const cleanHelp = R"(usage: brisklet-cli clean [--json] [--members N]

Measures the cleanable caches, logs and developer data of the current user and lists the categories
that exist, largest members first. Nothing is removed.

Options:
  --json        print the measured categories as JSON (category, items, children, sizeBytes, exists)
  --members N   members shown per category in the text output (default 5; JSON lists them all)
  -h, --help    show this help

Exit status: 0 measured, 1 some folders could be read only in part, 2 bad arguments.
)";

const char* const appsHelp = R"(usage: brisklet-cli apps [--json]

Lists the applications installed for the current user with their sizes, largest first: AppImages in
~/Applications, ~/AppImages, ~/.local/bin and ~/Downloads, applications installed into the home
folder that a desktop entry in ~/.local/share/applications launches, and, marked [system], those of
the package managers (apt, Flatpak, Snap), which are never removed.

Options:
  --json        print the applications as JSON (name, bundleID, path, sizeBytes, version, isProtected,
                icon)
  -h, --help    show this help

Exit status: 0 listed, 2 bad arguments.
)";

const char* const leftoversHelp = R"(usage: brisklet-cli leftovers APP_PATH [--json]

Lists the files the application at APP_PATH (an AppImage, or an application 'brisklet-cli apps'
lists) keeps in the current user's folders, largest first: its settings, data, state and caches in
~/.config, ~/.local/share, ~/.local/state, ~/.cache (or where XDG_CONFIG_HOME, XDG_DATA_HOME,
XDG_STATE_HOME and XDG_CACHE_HOME put them) and ~/.var/app, and the desktop entry, autostart entry
and icons that launch it. A folder found only by a name another installed program also uses (a
command on PATH, a system desktop entry or a Debian package) is marked [shared: REASON]. Nothing is
removed.

Options:
  --json        print {"application": ..., "leftovers": [...]} as JSON; each leftover has shared and
                sharedReason (null unless shared)
  -h, --help    show this help

Exit status: 0 listed, 2 bad arguments or APP_PATH is not an application.
)";

// The home folder as the catalogs expect it: without a trailing slash, so that joined paths stay clean.
std::string homeFolder() {
    return platform::withoutTrailingSlashes(platform::homeDirectory());
}

bool isHelp(const std::string& argument) { return argument == "--help" || argument == "-h"; }

std::string plural(std::size_t count, const std::string& one, const std::string& many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Workers for measuring in the foreground: the processors, within 2 to 12.
DiskScanner::Options measuringOptions() {
    const int processors = int(std::thread::hardware_concurrency());
    return DiskScanner::Options{
        .maxWorkers = std::clamp(processors, 2, 12),
        .foldDirectoryNames = ScanDefaults::foldDirectoryNames(),
        .rootSkipNames = ScanDefaults::rootSkipNames(),
        .largeFileThresholdBytes = 16 * 1024 * 1024,
        .topLargeFileCount = 100,
        .directoryTimeoutSeconds = 8.0,
    };
}

nlohmann::json optionalJson(const std::optional<std::string>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

nlohmann::json entryJson(const FileEntry& entry) {
    return {{"name", entry.name},
            {"path", entry.path()},
            {"sizeBytes", entry.sizeBytes},
            {"isDirectory", entry.isDirectory},
            {"state", std::string(toRawString(entry.state))}};
}

nlohmann::json entriesJson(const std::vector<FileEntry>& entries) {
    nlohmann::json list = nlohmann::json::array();
    for (const FileEntry& entry : entries)
        list.push_back(entryJson(entry));
    return list;
}

nlohmann::json leftoversJson(const std::vector<Leftover>& leftovers) {
    nlohmann::json list = nlohmann::json::array();
    for (const Leftover& leftover : leftovers) {
        nlohmann::json item = entryJson(leftover);
        item["shared"] = leftover.shared;
        item["sharedReason"] = leftover.shared ? nlohmann::json(leftover.sharedReason) : nlohmann::json(nullptr);
        list.push_back(std::move(item));
    }
    return list;
}

nlohmann::json resultJson(const CleanCategoryResult& result) {
    const CleanCategory& category = result.category;
    return {{"category",
             {{"id", category.id},
              {"title", category.title},
              {"detail", category.detail},
              {"symbolName", category.symbolName},
              {"group", std::string(CleanCategory::rawValue(category.group))},
              {"paths", category.paths}}},
            {"items", entriesJson(result.items)},
            {"children", entriesJson(result.children)},
            {"sizeBytes", result.sizeBytes()},
            {"exists", result.exists()}};
}

nlohmann::json applicationJson(const ApplicationEntry& application) {
    return {{"name", application.name},
            {"bundleID", optionalJson(application.bundleID)},
            {"path", application.path},
            {"sizeBytes", application.sizeBytes},
            {"version", optionalJson(application.version)},
            {"isProtected", application.isProtected},
            {"icon", optionalJson(application.icon)}};
}

std::string sizeColumn(std::int64_t bytes) {
    std::string text = ByteFormat::humanReadable(bytes);
    if (text.size() < 10)
        text.insert(0, 10 - text.size(), ' ');
    return text;
}

struct Parsed {
    bool json = false;
    bool help = false;
    std::vector<std::string> positional;
    std::optional<long long> members;
    std::string error;
};

Parsed parse(const Args& args, bool takesMembers) {
    Parsed parsed;
    for (std::size_t index = 0; index < args.size(); ++index) {
        const std::string& argument = args[index];
        if (isHelp(argument)) {
            parsed.help = true;
        } else if (argument == "--json") {
            parsed.json = true;
        } else if (takesMembers && argument == "--members") {
            if (index + 1 >= args.size() || !(parsed.members = parseCount(args[index + 1]))) {
                parsed.error = "--members needs a whole number";
                return parsed;
            }
            ++index;
        } else if (argument.size() > 1 && argument[0] == '-') {
            parsed.error = "unknown option '" + argument + "'";
            return parsed;
        } else {
            parsed.positional.push_back(argument);
        }
    }
    return parsed;
}

} // namespace

int cleanCommand(const Args& args) {
    const Parsed parsed = parse(args, true);
    if (!parsed.error.empty())
        return usageError(parsed.error + " (see brisklet-cli clean --help)");
    if (parsed.help) {
        std::cout << cleanHelp;
        return exitOk;
    }
    if (!parsed.positional.empty())
        return usageError("'clean' takes no arguments (see brisklet-cli clean --help)");

    const auto results = CleanCatalog::measure(CleanCatalog::categories(homeFolder()), measuringOptions());
    std::vector<const CleanCategoryResult*> existing;
    bool partial = false;
    for (const CleanCategoryResult& result : results) {
        if (!result.exists())
            continue;
        existing.push_back(&result);
        for (const FileEntry& item : result.items)
            partial = partial || item.state != ScanState::complete;
    }
    const int status = partial ? exitSomeFailed : exitOk;

    if (parsed.json) {
        nlohmann::json document = nlohmann::json::array();
        for (const CleanCategoryResult* result : existing)
            document.push_back(resultJson(*result));
        return writeJsonTo("", document) ? status : exitSomeFailed;
    }

    if (existing.empty()) {
        std::cout << "Nothing to clean.\n";
        return status;
    }
    const std::size_t members = std::size_t(parsed.members.value_or(5));
    std::int64_t total = 0;
    for (const CleanCategory::Group group : CleanCategory::allGroups()) {
        bool headed = false;
        for (const CleanCategoryResult* result : existing) {
            if (result->category.group != group)
                continue;
            if (!headed)
                std::cout << CleanCategory::rawValue(group) << '\n';
            headed = true;
            total += result->sizeBytes();
            std::cout << "  " << result->category.title << "  " << ByteFormat::humanReadable(result->sizeBytes());
            for (const FileEntry& item : result->items)
                std::cout << "  " << displayText(item.path()) << (item.state == ScanState::complete ? "" : " (partial)");
            std::cout << '\n';
            for (std::size_t index = 0; index < std::min(members, result->children.size()); ++index) {
                const FileEntry& child = result->children[index];
                std::cout << "    " << sizeColumn(child.sizeBytes) << "  " << displayText(child.name) << '\n';
            }
        }
    }
    std::cout << plural(existing.size(), "category", "categories") << ", " << ByteFormat::humanReadable(total)
              << '\n';
    return status;
}

int appsCommand(const Args& args) {
    const Parsed parsed = parse(args, false);
    if (!parsed.error.empty())
        return usageError(parsed.error + " (see brisklet-cli apps --help)");
    if (parsed.help) {
        std::cout << appsHelp;
        return exitOk;
    }
    if (!parsed.positional.empty())
        return usageError("'apps' takes no arguments (see brisklet-cli apps --help)");

    const auto applications = AppCatalog::discoverApplications(AppCatalog::scanRoots(homeFolder()));
    if (parsed.json) {
        nlohmann::json document = nlohmann::json::array();
        for (const ApplicationEntry& application : applications)
            document.push_back(applicationJson(application));
        return writeJsonTo("", document) ? exitOk : exitSomeFailed;
    }
    std::int64_t total = 0;
    for (const ApplicationEntry& application : applications) {
        total += application.sizeBytes;
        std::cout << sizeColumn(application.sizeBytes) << "  " << displayText(application.name);
        if (application.version)
            std::cout << ' ' << displayText(*application.version);
        if (application.bundleID)
            std::cout << "  (" << displayText(*application.bundleID) << ')';
        std::cout << "  " << displayText(application.path) << (application.isProtected ? "  [system]" : "") << '\n';
    }
    std::cout << plural(applications.size(), "application", "applications") << ", "
              << ByteFormat::humanReadable(total) << '\n';
    return exitOk;
}

int leftoversCommand(const Args& args) {
    const Parsed parsed = parse(args, false);
    if (!parsed.error.empty())
        return usageError(parsed.error + " (see brisklet-cli leftovers --help)");
    if (parsed.help) {
        std::cout << leftoversHelp;
        return exitOk;
    }
    if (parsed.positional.size() != 1)
        return usageError("'leftovers' takes exactly one APP_PATH (see brisklet-cli leftovers --help)");
    const auto application = AppCatalog::applicationAt(parsed.positional[0]);
    if (!application)
        return usageError("not an application: " + parsed.positional[0] +
                          " (give an AppImage or a path that 'brisklet-cli apps' lists)");

    const auto found = LeftoverScanner::leftovers(*application, homeFolder(), measuringOptions());
    if (parsed.json) {
        const nlohmann::json document{{"application", applicationJson(*application)}, {"leftovers", leftoversJson(found)}};
        return writeJsonTo("", document) ? exitOk : exitSomeFailed;
    }
    std::cout << "Leftovers of " << displayText(application->name);
    if (application->bundleID)
        std::cout << " (" << displayText(*application->bundleID) << ')';
    std::cout << ":\n";
    std::int64_t total = 0;
    for (const Leftover& entry : found) {
        total += entry.sizeBytes;
        std::cout << sizeColumn(entry.sizeBytes) << "  " << displayText(entry.path()) << (entry.isDirectory ? "/" : "");
        if (entry.shared)
            std::cout << "  [shared: " << displayText(entry.sharedReason) << ']';
        std::cout << '\n';
    }
    if (found.empty())
        std::cout << "  none found\n";
    else
        std::cout << plural(found.size(), "item", "items") << ", " << ByteFormat::humanReadable(total) << '\n';
    return exitOk;
}

} // namespace brisklet::cli
