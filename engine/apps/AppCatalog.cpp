#include "AppCatalog.h"

#include "apps/HomeApplications.h"
#include "apps/LocalizedNameOrder.h"
#include "platform/DirectoryStream.h"
#include "platform/FileOperations.h"
#include "platform/FileServices.h"
#include "platform/HostProfile.h"
#include "platform/PropertyList.h"
#include "scan/ScanDefaults.h"

#include <algorithm>
#include <sys/stat.h>

namespace brisklet::AppCatalog {

namespace {

const std::string bundleSuffix = ".app";
const std::string protectedPrefix = "com.apple.";

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

struct BundleInfo {
    std::optional<std::string> identifier;
    std::optional<std::string> version;
    std::optional<std::string> name;
};

std::optional<BundleInfo> bundleInfo(const std::string& bundlePath) {
    const auto plist = platform::readPropertyListStrings(
        bundlePath + "/Contents/Info.plist",
        {"CFBundleDisplayName", "CFBundleName", "CFBundleIdentifier", "CFBundleShortVersionString"});
    if (!plist)
        return std::nullopt;
    const auto value = [&plist](const char* key) -> std::optional<std::string> {
        const auto found = plist->find(key);
        return found == plist->end() ? std::nullopt : std::optional<std::string>(found->second);
    };
    BundleInfo info{value("CFBundleIdentifier"), value("CFBundleShortVersionString"), value("CFBundleDisplayName")};
    if (!info.name)
        info.name = value("CFBundleName");
    // An empty display name does not fall back to the bundle name.
    if (info.name && info.name->empty())
        info.name.reset();
    return info;
}

ApplicationEntry makeEntry(const std::string& bundlePath) {
    const auto info = bundleInfo(bundlePath);
    ApplicationEntry entry;
    entry.path = bundlePath;
    if (info) {
        entry.bundleID = info->identifier;
        entry.version = info->version;
        if (info->name)
            entry.name = *info->name;
    }
    if (entry.name.empty()) {
        const std::string fileName = platform::lastPathComponent(bundlePath);
        const std::size_t dot = fileName.rfind('.');
        // "Example.app" is named Example; a bare ".app" keeps its whole name, as a hidden file has no extension.
        entry.name = dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
    }
    entry.isProtected = entry.bundleID && entry.bundleID->starts_with(protectedPrefix);
    return entry;
}

} // namespace

std::vector<std::string> scanRoots(const std::string& home) { return scanRoots(home, hostProfile()); }

std::vector<std::string> scanRoots(const std::string& home, const HostProfile& profile) {
    if (profile.sources == HostProfile::Sources::freedesktop)
        return HomeApplications::roots(home);
    return {"/Applications", home + "/Applications"};
}

std::vector<ApplicationEntry> listApplications(const std::vector<std::string>& roots) {
    std::vector<ApplicationEntry> entries;
    for (const std::string& root : roots) {
        std::vector<std::string> names;
        {
            platform::DirectoryStream stream(root);
            if (!stream)
                continue;
            while (const char* item = stream.next()) {
                std::string name = item;
                if (endsWith(name, bundleSuffix))
                    names.push_back(std::move(name));
            }
        }
        for (const std::string& name : names) {
            const std::string bundlePath = platform::joinPath(root, name);
            struct stat status {};
            // Only real folders: a symbolic link to an application, a plain file or a vanished entry is skipped.
            if (::lstat(bundlePath.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
                continue;
            entries.push_back(makeEntry(bundlePath));
        }
    }
    for (ApplicationEntry& entry : HomeApplications::list(roots))
        entries.push_back(std::move(entry));
    const LocalizedNameOrder order;
    std::stable_sort(entries.begin(), entries.end(),
                     [&order](const ApplicationEntry& a, const ApplicationEntry& b) { return order.less(a.name, b.name); });
    return entries;
}

std::optional<ApplicationEntry> applicationAt(const std::string& path) {
    if (hostProfile().sources == HostProfile::Sources::freedesktop) {
        const std::string home = platform::withoutTrailingSlashes(platform::homeDirectory());
        const std::vector<std::string> roots = scanRoots(home);
        if (auto found = HomeApplications::find(path, roots))
            return found;
        // Only what the listing finds: a bundle directly inside a root.
        const auto folder = platform::resolvedPath(path);
        for (const std::string& root : roots) {
            const auto resolvedRoot = platform::resolvedPath(root);
            if (folder && resolvedRoot && endsWith(*folder, bundleSuffix) &&
                platform::parentPath(*folder) == *resolvedRoot && platform::existsAndIsFolder(*folder))
                return makeEntry(*folder);
        }
        return std::nullopt;
    }
    if (!platform::existsAndIsFolder(path))
        return std::nullopt;
    return makeEntry(path);
}

std::set<std::string> runningBundleIDs(const std::vector<ApplicationEntry>& applications) {
    return HomeApplications::runningBundleIDs(applications);
}

std::int64_t measureSize(const std::string& path, const DiskScanner::Options& scannerOptions, std::stop_token stop) {
    struct stat status {};
    // An AppImage or a desktop entry is a bundle of one file: its blocks, as the scanner would count them.
    if (::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode))
        return status.st_blocks > 0 ? std::int64_t(status.st_blocks) * 512 : std::max<std::int64_t>(status.st_size, 0);
    try {
        const DiskScanner scanner(scannerOptions);
        return std::max<std::int64_t>(scanner.scan(path, std::make_shared<ScanStats>(), stop).totals.bytes, 0);
    } catch (const DiskScanner::ScanError&) {
        return 0;
    }
}

DiskScanner::Options sizingOptions() {
    return DiskScanner::Options{
        .maxWorkers = 4,
        .foldDirectoryNames = ScanDefaults::foldDirectoryNames(),
        .rootSkipNames = ScanDefaults::rootSkipNames(),
        .largeFileThresholdBytes = 16 * 1024 * 1024,
        .topLargeFileCount = 100,
        .directoryTimeoutSeconds = 8.0,
    };
}

std::vector<ApplicationEntry> discoverApplications(const std::vector<std::string>& roots, std::stop_token stop) {
    std::vector<ApplicationEntry> entries = listApplications(roots);
    if (entries.empty())
        return entries;
    const DiskScanner::Options options = sizingOptions();
    for (ApplicationEntry& entry : entries)
        entry = entry.withSize(measureSize(entry.path, options, stop));
    const LocalizedNameOrder order;
    std::stable_sort(entries.begin(), entries.end(), [&order](const ApplicationEntry& a, const ApplicationEntry& b) {
        if (a.sizeBytes != b.sizeBytes)
            return a.sizeBytes > b.sizeBytes;
        return order.less(a.name, b.name);
    });
    return entries;
}

} // namespace brisklet::AppCatalog
