#include "FileOperations.h"

#include "FileServices.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>
#include <set>
#include <utility>
#include <vector>

namespace brisklet::platform {

std::string standardizedPath(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        std::string part = path.substr(start, slash - start);
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (path.empty() || path.front() != '/')
                parts.push_back(std::move(part)); // a relative path may climb; the root cannot
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = slash + 1;
    }
    const bool absolute = !path.empty() && path.front() == '/';
    std::string joined;
    for (const std::string& part : parts) {
        if (absolute || !joined.empty())
            joined += '/';
        joined += part;
    }
    if (joined.empty())
        return absolute ? "/" : (path.empty() ? "" : ".");
    return joined;
}

std::optional<std::string> resolvedPath(const std::string& path) {
    char buffer[PATH_MAX];
    if (path.empty() || ::realpath(path.c_str(), buffer) == nullptr)
        return std::nullopt;
    return std::string(buffer);
}

bool isWithinPath(const std::string& path, const std::string& prefix) {
    if (prefix == "/")
        return !path.empty() && path.front() == '/';
    return path == prefix || (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
                              path[prefix.size()] == '/');
}

std::string quotedName(const std::string& path) {
    const std::string name = lastPathComponent(path);
    return "\"" + (name.empty() ? path : name) + "\"";
}

std::optional<std::string> moveItem(const std::string& from, const std::string& to) {
    return moveItemAt(AT_FDCWD, from, to);
}

std::optional<std::string> moveItemAt(int folder, const std::string& name, const std::string& to) {
    const std::string& from = name;
    int result = ::renameat2(folder, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (result != 0 && errno == EINVAL) {
        // File systems without RENAME_NOREPLACE: test, then rename. The window is accepted there.
        struct stat st {};
        if (::lstat(to.c_str(), &st) == 0)
            errno = EEXIST;
        else
            result = ::renameat(folder, from.c_str(), AT_FDCWD, to.c_str());
    }
    if (result == 0)
        return std::nullopt;
    const int error = errno;
    std::string reason = std::strerror(error);
    if (error == EEXIST)
        reason = "an item with that name already exists";
    else if (error == EXDEV)
        reason = "it would have to cross to another file system";
    return "cannot move " + quotedName(from) + " to " + to + ": " + reason;
}

std::optional<std::string> createDirectoriesReporting(const std::string& path) {
    errno = 0;
    if (createDirectories(path))
        return std::nullopt;
    const int error = errno != 0 ? errno : ENOTDIR;
    return "cannot create the folder " + path + ": " + std::strerror(error);
}

std::int64_t diskUsage(const std::string& path) {
    // nftw takes a plain function: the running total lives in thread-local pointers for the walk.
    static thread_local std::int64_t* total = nullptr;
    static thread_local std::set<std::pair<dev_t, ino_t>>* seen = nullptr;
    std::int64_t sum = 0;
    std::set<std::pair<dev_t, ino_t>> links;
    total = &sum;
    seen = &links;
    ::nftw(
        path.c_str(),
        [](const char*, const struct stat* st, int type, FTW*) {
            if (type == FTW_NS)
                return 0;
            if (st->st_nlink > 1 && !S_ISDIR(st->st_mode) && !seen->insert({st->st_dev, st->st_ino}).second)
                return 0;
            *total += static_cast<std::int64_t>(st->st_blocks) * 512;
            return 0;
        },
        32, FTW_PHYS | FTW_MOUNT);
    total = nullptr;
    seen = nullptr;
    return sum;
}

} // namespace brisklet::platform
