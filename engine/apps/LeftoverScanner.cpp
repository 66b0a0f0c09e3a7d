#include "LeftoverScanner.h"

#include "platform/FileServices.h"
#include "scan/MeasuringPool.h"

#include <algorithm>
#include <dirent.h>
#include <exception>
#include <mutex>
#include <set>
#include <sys/stat.h>

namespace brisklet::LeftoverScanner {

namespace {

// A NUL ends a path for the system, so text holding one would name the folder above it.
bool isSingleComponent(const std::string& text) {
    static const std::string separators("/\0", 2);
    return !text.empty() && text != "." && text != ".." &&
           text.find_first_of(separators) == std::string::npos;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

struct Found {
    std::string path;
    bool isDirectory;
};

std::int64_t sizeOf(const Found& item, const DiskScanner::Options& scannerOptions, std::stop_token stop) {
    if (item.isDirectory) {
        try {
            const DiskScanner scanner(scannerOptions);
            return scanner.scan(item.path, std::make_shared<ScanStats>(), stop).totals.bytes;
        } catch (const DiskScanner::ScanError&) {
            return 0; // vanished or replaced by a file since it was found
        }
    }
    struct stat status {};
    if (::lstat(item.path.c_str(), &status) != 0)
        return 0;
    if (status.st_blocks > 0)
        return std::int64_t(status.st_blocks) * 512;
    return std::max<std::int64_t>(status.st_size, 0);
}

} // namespace

std::vector<std::string> candidates(const ApplicationEntry& application, const std::string& home) {
    const std::string library = home + "/Library";
    const std::string bundleID =
        application.bundleID && isSingleComponent(*application.bundleID) ? *application.bundleID : std::string();
    const std::string& name = application.name;
    const bool hasID = !bundleID.empty();
    const bool hasName = isSingleComponent(name);

    std::vector<std::string> paths;
    if (hasID) {
        paths.push_back(library + "/Caches/" + bundleID);
        paths.push_back(library + "/Preferences/" + bundleID + ".plist");
        paths.push_back(library + "/Saved Application State/" + bundleID + ".savedState");
        paths.push_back(library + "/WebKit/" + bundleID);
        paths.push_back(library + "/HTTPStorages/" + bundleID);
        paths.push_back(library + "/Application Scripts/" + bundleID);
        paths.push_back(library + "/Containers/" + bundleID);
        paths.push_back(library + "/Cookies/" + bundleID + ".binarycookies");
        paths.push_back(library + "/LaunchAgents/" + bundleID + ".plist");
        paths.push_back(library + "/Application Support/" + bundleID);
    }
    if (hasName) {
        paths.push_back(library + "/Application Support/" + name);
        paths.push_back(library + "/Caches/" + name);
        paths.push_back(library + "/Logs/" + name);
    }
    if (hasID) {
        paths.push_back(library + "/Logs/" + bundleID);
        const std::string groupContainers = library + "/Group Containers";
        if (DIR* stream = ::opendir(groupContainers.c_str())) {
            while (const dirent* entry = ::readdir(stream)) {
                const std::string entryName = entry->d_name;
                if (entryName != "." && entryName != ".." && endsWith(entryName, bundleID))
                    paths.push_back(groupContainers + "/" + entryName);
            }
            ::closedir(stream);
        }
    }
    return paths;
}

std::vector<FileEntry> leftovers(const ApplicationEntry& application, const std::string& home,
                                 const DiskScanner::Options& scannerOptions, std::stop_token stop) {
    std::vector<Found> found;
    std::set<std::string> probed;
    for (const std::string& path : candidates(application, home)) {
        if (!probed.insert(path).second)
            continue;
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0)
            continue;
        found.push_back(Found{path, S_ISDIR(status.st_mode)});
    }

    std::vector<std::int64_t> sizes(found.size(), 0);
    forEachIndex(found.size(), [&](std::size_t index) { sizes[index] = sizeOf(found[index], scannerOptions, stop); });
    if (stop.stop_requested())
        throw Cancelled();

    std::vector<FileEntry> results;
    for (std::size_t index = 0; index < found.size(); ++index) {
        if (sizes[index] < 1)
            continue;
        results.push_back(FileEntry{platform::lastPathComponent(found[index].path), found[index].path, sizes[index],
                                    found[index].isDirectory, ScanState::complete});
    }
    std::stable_sort(results.begin(), results.end(),
                     [](const FileEntry& a, const FileEntry& b) { return a.sizeBytes > b.sizeBytes; });
    return results;
}

} // namespace brisklet::LeftoverScanner
