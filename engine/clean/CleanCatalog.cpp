#include "CleanCatalog.h"

#include "platform/DirectoryStream.h"
#include "platform/FileServices.h"
#include "scan/MeasuringPool.h"
#include "platform/HostProfile.h"
#include "platform/PropertyList.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <set>
#include <sys/stat.h>

namespace brisklet::CleanCatalog {

namespace {

using Group = CleanCategory::Group;

const char* const simulatorCategoryId = "ios-simulators";

bool isLetters(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
}

bool isDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return pieces;
        start = end + 1;
    }
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Depth guard against pathological trees (bind mounts can make a folder contain itself).
constexpr int maximumRuntimeWalkDepth = 24;

void findRuntimeBundles(const std::string& folder, const std::string& relative, int depth,
                        std::vector<std::string>& bundles) {
    if (depth > maximumRuntimeWalkDepth)
        return;
    const std::string directory = relative.empty() ? folder : folder + "/" + relative;
    std::vector<std::string> names;
    {
        platform::DirectoryStream stream(directory);
        if (!stream)
            return;
        while (const char* name = stream.next())
            names.emplace_back(name);
    }
    for (const std::string& name : names) {
        const std::string childRelative = relative.empty() ? name : relative + "/" + name;
        if (endsWith(childRelative, ".simruntime")) {
            bundles.push_back(folder + "/" + childRelative); // not descended into
            continue;
        }
        struct stat status {};
        // Symbolic links are not followed into, so a link cannot lead the walk in circles.
        if (::lstat((directory + "/" + name).c_str(), &status) == 0 && S_ISDIR(status.st_mode))
            findRuntimeBundles(folder, childRelative, depth + 1, bundles);
    }
}

std::optional<std::string> nonEmptyString(const platform::PropertyListStrings& plist, const std::string& key) {
    const auto found = plist.find(key);
    if (found == plist.end() || found->second.empty())
        return std::nullopt;
    return found->second;
}

// Regenerable data only: every folder here is rebuilt by its tool or application on demand.
std::vector<CleanCategory> freedesktopDeveloperCategories(const std::string& home) {
    const platform::XdgFolders xdg = platform::xdgFolders(home);
    const std::string& cache = xdg.cache;
    const std::string& config = xdg.config;
    std::vector<std::string> editorCaches;
    for (const char* editor : {"Code", "VSCodium"})
        for (const char* folder : {"Cache", "CachedData", "CachedExtensionVSIXs"})
            editorCaches.push_back(config + "/" + editor + "/" + folder);
    return {
        {"cargo-cache", "Cargo Cache", "Downloaded crate archives and git checkouts; Cargo fetches them again.",
         "shippingbox", Group::developer, {home + "/.cargo/registry/cache", home + "/.cargo/git/db"}},
        {"go-build-cache", "Go Build Cache", "Compiled Go packages; the next build recompiles what it needs.",
         "hammer", Group::developer, {cache + "/go-build"}},
        {"yarn-cache", "Yarn Cache", "Downloaded package archives for past installs.", "shippingbox",
         Group::developer, {cache + "/yarn"}},
        {"ccache", "ccache", "Cached compiler output; builds fill it again as they run.", "hammer", Group::developer,
         {cache + "/ccache"}},
        {"huggingface-cache", "Hugging Face Cache", "Downloaded models and datasets, fetched again when next used.",
         "square.stack.3d.up", Group::developer,
         // Not the whole folder: it also keeps the access token and accelerate's settings.
         {cache + "/huggingface/hub", cache + "/huggingface/datasets", cache + "/huggingface/xet"}},
        {"vscode-cache", "VS Code Cache", "Code and VSCodium web caches and downloaded extension packages.",
         "puzzlepiece.extension", Group::developer, std::move(editorCaches)},
    };
}

std::vector<CleanCategory> freedesktopSystemCategories(const std::string& home) {
    const std::string cache = platform::xdgFolders(home).cache;
    // Each Flatpak application keeps its cache inside its own data folder.
    std::vector<std::string> flatpakCaches;
    // Flatpak makes real folders; one that is a link leads to data that is not an application's cache.
    for (const std::string& application : platform::sortedEntryNames(home + "/.var/app")) {
        struct stat status {};
        const std::string folder = home + "/.var/app/" + application;
        if (::lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
            flatpakCaches.push_back(folder + "/cache");
    }
    return {
        {"thumbnails", "Thumbnails", "Preview images of files; file managers redraw them when needed.",
         "square.grid.2x2", Group::systemApps, {cache + "/thumbnails"}},
        {"browser-caches", "Browser Caches", "Cached web pages and media of Firefox, Chromium, Chrome and Brave.",
         "globe", Group::systemApps,
         {cache + "/mozilla/firefox", cache + "/chromium", cache + "/google-chrome",
          cache + "/BraveSoftware/Brave-Browser"}},
        {"flatpak-app-caches", "Flatpak App Caches", "Caches Flatpak applications keep in their data folders.",
         "shippingbox", Group::systemApps, std::move(flatpakCaches)},
    };
}

// The size a member shows: its own bytes, or those of its hard link counted elsewhere.
std::int64_t shownBytes(const FileEntry& entry) {
    return std::max(entry.sizeBytes, entry.linkedSizeBytes);
}

} // namespace

std::vector<CleanCategory> categories(const std::string& home) { return categories(home, hostProfile()); }

std::vector<CleanCategory> categories(const std::string& home, const HostProfile& profile) {
    const std::string library = home + "/Library";
    const bool freedesktop = profile.sources == HostProfile::Sources::freedesktop;
    const auto inHome = [&home, freedesktop](const std::string& relative) {
        return freedesktop ? platform::homePlace(home, relative) : home + "/" + relative;
    };
    std::vector<CleanCategory> table{
        {"xcode-derived", "Xcode DerivedData",
         "Build indexes and intermediate output. Xcode regenerates it on the next build.", "hammer", Group::developer,
         {library + "/Developer/Xcode/DerivedData"}},
        {"ios-simulators", "iOS Simulator Devices",
         "Simulator instances and their data. Quit Simulator first; expand to pick individual devices.", "iphone",
         Group::developer, {library + "/Developer/CoreSimulator/Devices"}},
        {"homebrew-cache", "Homebrew Cache", "Downloaded bottles and source archives for past installs.",
         "brewingstand", Group::developer, {inHome(profile.homebrewCache)}},
        {"npm-cache", "npm Cache", "Downloaded package tarballs, safe to clear.", "shippingbox", Group::developer,
         {home + "/.npm"}},
        {"pip-cache", "pip Cache", "Downloaded Python wheels.", "python", Group::developer,
         {inHome(profile.pipCache)}},
        {"uv-cache", "uv Cache", "Astral uv's downloaded wheels and environments.", "swift.speedometer",
         Group::developer, {inHome(".cache/uv")}},
        {"gradle-cache", "Gradle Cache", "Downloaded dependencies and build caches.", "cup.and.saucer",
         Group::developer, {home + "/.gradle/caches"}},
        {"cocoapods-cache", "CocoaPods Cache", "Downloaded pod sources and zips.", "puzzlepiece.extension",
         Group::developer, {library + "/Caches/CocoaPods"}},
        {"jetbrains-cache", "JetBrains Cache", "IDE indexes, logs, and downloaded plugins.", "square.stack.3d.up",
         Group::developer, {inHome(profile.jetBrainsCache)}},
        {"system-logs", "System & App Logs", "User-level logs under ~/Library/Logs. Apps recreate them as needed.",
         "doc.text.magnifyingglass", Group::systemApps, {library + "/Logs"}},
        {"spotify-cache", "Spotify Cache", "Streamed audio cache; the app rebuilds it.", "music.note",
         Group::systemApps, {inHome(profile.spotifyCache)}},
    };
    if (freedesktop) {
        // Tools and folders that exist only on the other platform.
        std::erase_if(table, [](const CleanCategory& c) {
            return c.id == "xcode-derived" || c.id == simulatorCategoryId || c.id == "cocoapods-cache" ||
                   c.id == "system-logs";
        });
        // Each group keeps the described categories first.
        const auto firstSystem = std::find_if(table.begin(), table.end(),
                                              [](const CleanCategory& c) { return c.group == Group::systemApps; });
        const std::vector<CleanCategory> developer = freedesktopDeveloperCategories(home);
        table.insert(firstSystem, developer.begin(), developer.end());
        for (CleanCategory& category : freedesktopSystemCategories(home))
            table.push_back(std::move(category));
    }
    return table;
}

std::optional<std::string> simulatorRuntimeLabel(const std::optional<std::string>& runtime,
                                                 const RuntimeBuilds& builds) {
    if (!runtime || runtime->empty())
        return std::nullopt;
    std::string_view lastPiece = *runtime;
    for (const std::string_view piece : split(*runtime, '.'))
        if (!piece.empty())
            lastPiece = piece;
    // With no non-empty piece at all, the whole identifier stands.
    const std::vector<std::string_view> parts = split(lastPiece, '-');
    if (parts.size() < 2 || !isLetters(parts[0]))
        return std::nullopt;
    std::string label(parts[0]);
    for (std::size_t index = 1; index < parts.size(); ++index) {
        if (!isDigits(parts[index]))
            return std::nullopt;
        label += index == 1 ? " " : ".";
        label += parts[index];
    }
    if (const auto build = builds.find(*runtime); build != builds.end())
        label += " (" + build->second + ")";
    return label;
}

std::optional<std::string> simulatorRuntimeLabel(const std::optional<std::string>& runtime) {
    return simulatorRuntimeLabel(runtime, simulatorRuntimeBuilds());
}

FileEntry simulatorChildName(const FileEntry& entry, const RuntimeBuilds& builds) {
    const auto plist = platform::readPropertyListStrings(entry.path() + "/device.plist", {"name", "runtime"});
    if (!plist)
        return entry;
    const auto deviceName = nonEmptyString(*plist, "name");
    if (!deviceName)
        return entry;
    std::optional<std::string> runtime;
    if (const auto found = plist->find("runtime"); found != plist->end())
        runtime = found->second;
    FileEntry renamed = entry;
    renamed.name = *deviceName;
    if (const auto label = simulatorRuntimeLabel(runtime, builds))
        renamed.name += " \u00B7 " + *label;
    return renamed;
}

FileEntry simulatorChildName(const FileEntry& entry) { return simulatorChildName(entry, simulatorRuntimeBuilds()); }

const std::vector<std::string>& simulatorRuntimeFolders() {
    static const std::vector<std::string> folders{"/Library/Developer/CoreSimulator/Profiles/Runtimes",
                                                  "/Library/Developer/CoreSimulator/Volumes"};
    return folders;
}

RuntimeBuilds loadSimulatorRuntimeBuilds(const std::vector<std::string>& folders) {
    std::map<std::string, std::set<std::string>> found;
    for (const std::string& folder : folders) {
        if (!platform::existsAndIsFolder(folder))
            continue;
        std::vector<std::string> bundles;
        findRuntimeBundles(folder, {}, 0, bundles);
        for (const std::string& bundle : bundles) {
            const auto info = platform::readPropertyListStrings(bundle + "/Contents/Info.plist", {"CFBundleIdentifier"});
            if (!info)
                continue;
            const auto identifier = info->find("CFBundleIdentifier");
            if (identifier == info->end())
                continue;
            const auto version = platform::readPropertyListStrings(
                bundle + "/Contents/Resources/RuntimeRoot/System/Library/CoreServices/SystemVersion.plist",
                {"ProductBuildVersion"});
            if (!version)
                continue;
            const auto build = nonEmptyString(*version, "ProductBuildVersion");
            if (!build)
                continue;
            found[identifier->second].insert(*build);
        }
    }
    // Two installed copies that disagree leave the build unknown rather than possibly wrong.
    RuntimeBuilds builds;
    for (const auto& [identifier, buildSet] : found)
        if (buildSet.size() == 1)
            builds.emplace(identifier, *buildSet.begin());
    return builds;
}

RuntimeBuilds loadSimulatorRuntimeBuilds() { return loadSimulatorRuntimeBuilds(simulatorRuntimeFolders()); }

const RuntimeBuilds& simulatorRuntimeBuilds() {
    static const RuntimeBuilds builds = loadSimulatorRuntimeBuilds();
    return builds;
}

CleanCategoryResult measureOne(const CleanCategory& category, const DiskScanner::Options& scannerOptions,
                               std::stop_token stop) {
    CleanCategoryResult result{category, {}, {}};
    const bool renameDevices = category.id == simulatorCategoryId;
    for (const std::string& path : category.paths) {
        // A location that is a link leads to data that is not the category's (a cache folder linked to
        // ~/Documents would offer the documents): only a real folder is measured, and one that was
        // swapped for something else while it was scanned is dropped.
        struct stat before {};
        if (::lstat(path.c_str(), &before) != 0 || !S_ISDIR(before.st_mode))
            continue;
        ScanResult scan;
        try {
            const DiskScanner scanner(scannerOptions);
            scan = scanner.scan(path, std::make_shared<ScanStats>(), stop);
        } catch (const DiskScanner::ScanError&) {
            continue; // the folder vanished or turned into a file since the check
        }
        struct stat after {};
        if (::lstat(path.c_str(), &after) != 0 || !S_ISDIR(after.st_mode) || after.st_dev != before.st_dev ||
            after.st_ino != before.st_ino)
            continue;
        if (scan.totals.bytes <= 0)
            continue;
        result.items.push_back(FileEntry{platform::lastPathComponent(path), path, scan.totals.bytes, true, scan.state});

        if (!scan.root.children)
            continue;
        std::vector<ScanNode>& members = *scan.root.children;
        // By the size each shows: a hard link counted at another link has no bytes of its own here but is
        // as large as that one.
        std::stable_sort(members.begin(), members.end(), [](const ScanNode& a, const ScanNode& b) {
            return shownBytes(a.entry) > shownBytes(b.entry);
        });
        const std::size_t kept = std::min(members.size(), maximumChildrenPerFolder);
        for (std::size_t index = 0; index < kept; ++index) {
            FileEntry& member = members[index].entry;
            result.children.push_back(renameDevices ? simulatorChildName(member) : std::move(member));
        }
    }
    std::stable_sort(result.children.begin(), result.children.end(),
                     [](const FileEntry& a, const FileEntry& b) { return shownBytes(a) > shownBytes(b); });
    return result;
}

std::vector<CleanCategoryResult> measure(const std::vector<CleanCategory>& categories,
                                         const DiskScanner::Options& scannerOptions, std::stop_token stop) {
    return detail::measureEach(
        categories,
        [&scannerOptions, &stop](const CleanCategory& category) { return measureOne(category, scannerOptions, stop); },
        stop);
}

std::vector<CleanCategoryResult>
detail::measureEach(const std::vector<CleanCategory>& categories,
                    const std::function<CleanCategoryResult(const CleanCategory&)>& measureOne, std::stop_token stop) {
    std::vector<std::optional<CleanCategoryResult>> finished(categories.size());
    forEachIndex(categories.size(), [&](std::size_t index) { finished[index] = measureOne(categories[index]); });
    if (stop.stop_requested())
        throw Cancelled();
    std::vector<CleanCategoryResult> results;
    results.reserve(categories.size());
    for (std::optional<CleanCategoryResult>& result : finished)
        results.push_back(std::move(*result));
    return results;
}

} // namespace brisklet::CleanCatalog
