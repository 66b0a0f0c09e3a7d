#include "OtherPrograms.h"

#include "apps/DesktopEntry.h"
#include "apps/HomeApplications.h"
#include "platform/FileOperations.h"
#include "platform/FileServices.h"
#include "platform/Subprocess.h"
#include "platform/TextFields.h"

#include <chrono>
#include <cstdlib>
#include <sys/stat.h>

namespace brisklet {

namespace {

// dpkg-query -S reads every package's file list: well under a second on a desktop, longer on a cold disk.
constexpr std::chrono::seconds packageQueryTimeOut{10};

constexpr std::string_view desktopSuffix = ".desktop";

// Where a package puts what carries a program's name; elsewhere (/usr/share/doc/x/git, a module of
// some library) the name says nothing about which program reads the settings.
bool isProgramPlace(std::string_view folder) {
    for (std::string_view place : {"/bin", "/sbin", "/usr/bin", "/usr/sbin", "/usr/games", "/usr/libexec", "/usr/lib",
                                   "/usr/share", "/etc", "/etc/xdg", "/var/lib", "/opt"})
        if (folder == place)
            return true;
    return false;
}

std::vector<std::string> spellings(const std::string& name) {
    std::string lower = text::lowerAscii(name);
    if (lower == name)
        return {name};
    return {name, std::move(lower)};
}

std::string resolvedOrSelf(const std::string& path) {
    auto resolved = platform::resolvedPath(path);
    return resolved ? std::move(*resolved) : path;
}

bool isExecutableOfAnother(const std::string& program, const std::string& resolvedBundle) {
    struct stat status {};
    return ::stat(program.c_str(), &status) == 0 && S_ISREG(status.st_mode) && (status.st_mode & 0111) != 0 &&
           (resolvedBundle.empty() || !DesktopEntries::isAtOrBelow(resolvedOrSelf(program), resolvedBundle));
}

// An fnmatch pattern matching name literally.
std::string globEscaped(const std::string& name) {
    std::string escaped;
    for (const char c : name) {
        if (c == '*' || c == '?' || c == '[' || c == ']' || c == '\\')
            escaped.push_back('\\');
        escaped.push_back(c);
    }
    return escaped;
}

// The packages that install a file or folder named one of names in a program's place: name -> package
// (the one named like it when several do).
std::map<std::string, std::string> packagesShipping(const std::string& tool, const std::set<std::string>& names,
                                                    std::stop_token stop) {
    std::vector<std::string> arguments{"-S"};
    for (const std::string& name : names)
        arguments.push_back("*/" + globEscaped(name));
    platform::CaptureOptions options;
    options.timeout = packageQueryTimeOut;
    options.stop = stop;
    platform::CapturedOutput result;
    try {
        // It exits 1 when some pattern matched nothing; the lines of the others still count.
        result = platform::runCapturingOutput(tool, arguments, {{"LC_ALL", "C"}}, options);
    } catch (const platform::LaunchError&) {
        return {}; // no package manager of this kind here
    }
    std::map<std::string, std::string> shipped;
    if (result.timedOut || result.stopped)
        return shipped;
    // "git: /usr/bin/git", "dpkg, base-files: /var/lib/dpkg", "diversion by x from: /path".
    for (const std::string_view line : text::splitLines(result.output, '\n')) {
        const std::size_t colon = line.find(": ");
        if (colon == std::string_view::npos || line.starts_with("diversion by ") || line.starts_with("local diversion"))
            continue;
        const std::string path(line.substr(colon + 2));
        const std::string name = platform::lastPathComponent(path);
        if (!names.contains(name) || !isProgramPlace(platform::parentPath(path)))
            continue;
        for (std::string_view package : text::splitLines(line.substr(0, colon), ',')) {
            package = text::trimSpacesAndTabs(package);
            package = package.substr(0, package.find(':')); // "libx:amd64"
            if (package.empty())
                continue;
            auto [at, added] = shipped.emplace(name, package);
            if (!added && text::lowerAscii(package) == text::lowerAscii(name))
                at->second = package;
        }
    }
    return shipped;
}

} // namespace

OtherPrograms OtherPrograms::ofThisComputer(const std::string& home) {
    OtherPrograms programs;
    if (const char* path = std::getenv("PATH"))
        for (const std::string_view folder : text::splitLines(path, ':'))
            programs.searchPath.emplace_back(folder);
    for (const std::string& root : HomeApplications::roots(home))
        if (HomeApplications::isSystemEntryFolder(root))
            programs.systemEntryFolders.push_back(root);
    programs.packageQueryTool = "/usr/bin/dpkg-query";
    return programs;
}

std::map<std::string, std::string> OtherPrograms::owners(const std::set<std::string>& names, const std::string& bundle,
                                                         std::stop_token stop) const {
    const std::string resolvedBundle = bundle.empty() ? bundle : resolvedOrSelf(bundle);
    std::map<std::string, std::string> found;

    for (const std::string& name : names)
        for (const std::string& spelling : spellings(name))
            for (const std::string& folder : searchPath)
                if (!found.contains(name) && !folder.empty() && folder.front() == '/' &&
                    isExecutableOfAnother(platform::joinPath(folder, spelling), resolvedBundle))
                    found.emplace(name, spelling);

    // Entry files named after the name, also as the last piece of a reverse-domain identifier.
    for (const std::string& folder : systemEntryFolders) {
        for (const std::string& fileName : platform::sortedEntryNames(folder)) {
            if (fileName.size() <= desktopSuffix.size() || !fileName.ends_with(desktopSuffix))
                continue;
            const std::string id = text::lowerAscii(fileName.substr(0, fileName.size() - desktopSuffix.size()));
            const std::string lastPiece = id.substr(id.rfind('.') + 1);
            for (const std::string& name : names) {
                const std::string lower = text::lowerAscii(name);
                if (found.contains(name) || (id != lower && lastPiece != lower))
                    continue;
                const auto entry = DesktopEntries::read(platform::joinPath(folder, fileName));
                if (entry && !entry->hidden &&
                    (resolvedBundle.empty() || !HomeApplications::launches(*entry, resolvedBundle)))
                    found.emplace(name, entry->name.empty() ? entry->fileId : entry->name);
            }
        }
    }

    std::set<std::string> asked;
    for (const std::string& name : names)
        if (!found.contains(name))
            for (std::string& spelling : spellings(name))
                asked.insert(std::move(spelling));
    if (asked.empty() || packageQueryTool.empty())
        return found;
    const std::map<std::string, std::string> shipped = packagesShipping(packageQueryTool, asked, stop);
    for (const std::string& name : names)
        for (const std::string& spelling : spellings(name))
            if (const auto package = shipped.find(spelling); package != shipped.end())
                found.emplace(name, package->second);
    return found;
}

} // namespace brisklet
