#include "FileServices.h"

#include "DirectoryStream.h"
#include "FileOperations.h"
#include "UniqueFd.h"

#include <algorithm>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <libmount.h>
#include <sstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisklet::platform {

namespace {

std::string envOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

} // namespace

std::string homeDirectory() {
    std::string home = envOrEmpty("HOME");
    if (!home.empty())
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

std::string temporaryDirectory() {
    std::string tmp = envOrEmpty("TMPDIR");
    return tmp.empty() ? std::string("/tmp") : tmp;
}

std::string applicationSupportDirectory() {
    std::string data = envOrEmpty("XDG_DATA_HOME");
    if (!data.empty() && data.front() == '/')
        return data;
    return joinPath(homeDirectory(), ".local/share");
}

std::string stateDirectory() {
    std::string state = envOrEmpty("XDG_STATE_HOME");
    if (!state.empty() && state.front() == '/')
        return state;
    return joinPath(homeDirectory(), ".local/state");
}

XdgFolders xdgFolders(const std::string& home) {
    // The variables describe this session's user; another home has only its defaults.
    const bool ownHome = withoutTrailingSlashes(home) == withoutTrailingSlashes(homeDirectory());
    const auto folder = [&home, ownHome](const char* variable, const char* fallback) {
        const std::string value = ownHome ? envOrEmpty(variable) : std::string();
        return !value.empty() && value.front() == '/' ? withoutTrailingSlashes(value) : joinPath(home, fallback);
    };
    return {folder("XDG_CONFIG_HOME", ".config"), folder("XDG_CACHE_HOME", ".cache"),
            folder("XDG_DATA_HOME", ".local/share"), folder("XDG_STATE_HOME", ".local/state")};
}

std::string homePlace(const std::string& home, const std::string& relative) {
    const XdgFolders xdg = xdgFolders(home);
    const std::pair<std::string_view, const std::string&> defaults[] = {
        {".config", xdg.config}, {".cache", xdg.cache}, {".local/share", xdg.data}, {".local/state", xdg.state}};
    for (const auto& [fallback, folder] : defaults) {
        const std::string_view rest = std::string_view(relative).substr(std::min(relative.size(), fallback.size()));
        if (relative.starts_with(fallback) && (rest.empty() || rest.front() == '/'))
            return rest.empty() ? folder : joinPath(folder, std::string(rest.substr(1)));
    }
    return joinPath(home, relative);
}

namespace {

// One line of user-dirs.dirs: XDG_NAME_DIR="value", blanks allowed around the name and the "=".
std::optional<std::pair<std::string, std::string>> userDirectoryLine(std::string_view line, const std::string& home) {
    const auto skipBlanks = [&line] {
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
    };
    skipBlanks();
    constexpr std::string_view prefix = "XDG_", suffix = "_DIR";
    const auto isNameByte = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; };
    std::size_t nameEnd = 0;
    while (nameEnd < line.size() && isNameByte(line[nameEnd]))
        ++nameEnd;
    const std::string_view key = line.substr(0, nameEnd);
    if (key.size() <= prefix.size() + suffix.size() || !key.starts_with(prefix) || !key.ends_with(suffix))
        return std::nullopt;
    line.remove_prefix(nameEnd);
    skipBlanks();
    if (line.empty() || line.front() != '=')
        return std::nullopt;
    line.remove_prefix(1);
    skipBlanks();
    if (line.empty() || line.front() != '"')
        return std::nullopt;
    line.remove_prefix(1);

    std::string value;
    if (line.starts_with("$HOME") && line.size() > 5 && (line[5] == '/' || line[5] == '"')) {
        value = home;
        line.remove_prefix(5);
    } else if (line.empty() || line.front() != '/') {
        return std::nullopt; // relative, or another variable: not a place anyone can tell
    }
    bool closed = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') {
            closed = true;
            break;
        }
        if (line[i] == '\\' && i + 1 < line.size())
            ++i;
        value += line[i];
    }
    if (!closed || value.find('\0') != std::string::npos)
        return std::nullopt;
    value = standardizedPath(value);
    if (value.empty() || value == "/")
        return std::nullopt;
    return std::pair{std::string(key.substr(prefix.size(), key.size() - prefix.size() - suffix.size())), value};
}

} // namespace

std::vector<std::pair<std::string, std::string>> userDirectories(const std::string& home) {
    // A few hundred bytes as written; anything far larger is not that file.
    constexpr std::uint64_t fileLimit = 64 * 1024;
    std::vector<std::pair<std::string, std::string>> folders;
    const auto contents = readRegularFile(joinPath(xdgFolders(home).config, "user-dirs.dirs"), fileLimit);
    if (!contents)
        return folders;
    std::string_view rest = *contents;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        if (auto folder = userDirectoryLine(rest.substr(0, end), home))
            folders.push_back(std::move(*folder));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return folders;
}

std::string userDirectory(const std::string& home, std::string_view name, const std::string& fallback) {
    std::string found;
    for (const auto& [key, folder] : userDirectories(home))
        if (key == name)
            found = folder;
    if (found.empty() || found == standardizedPath(home))
        return joinPath(home, fallback);
    return found;
}

std::string downloadsDirectory() { return userDirectory(homeDirectory(), "DOWNLOAD", "Downloads"); }

bool existsAndIsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool createDirectories(const std::string& path, unsigned mode) {
    if (path.empty())
        return false;
    if (existsAndIsFolder(path))
        return true;
    const std::string parent = parentPath(path);
    if (!parent.empty() && parent != path && !existsAndIsFolder(parent) && !createDirectories(parent, mode))
        return false;
    if (::mkdir(path.c_str(), mode) == 0)
        return true;
    return errno == EEXIST && existsAndIsFolder(path);
}

std::optional<std::string> readFileContents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

std::optional<std::string> readRegularFile(const std::string& path, std::uint64_t maximumBytes) {
    return readRegularFileAt(AT_FDCWD, path, maximumBytes);
}

std::optional<std::string> readRegularFileAt(int folder, const std::string& name, std::uint64_t maximumBytes) {
    const UniqueFd file(::openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file)
        return std::nullopt;
    const int fd = file.get();
    std::optional<std::string> data;
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && std::uint64_t(status.st_size) <= maximumBytes) {
        data.emplace();
        data->reserve(std::size_t(status.st_size));
        char buffer[65536];
        for (;;) {
            const ssize_t count = ::read(fd, buffer, sizeof buffer);
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0 || data->size() + std::size_t(count) > maximumBytes) {
                data.reset(); // unreadable, or it grew past the limit while read
                break;
            }
            if (count == 0)
                break;
            data->append(buffer, std::size_t(count));
        }
    }
    return data;
}

std::vector<std::string> sortedEntryNames(const std::string& folder) {
    std::vector<std::string> names;
    DirectoryStream stream(folder);
    while (const char* name = stream ? stream.next() : nullptr)
        names.emplace_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

bool isMountPoint(const std::string& path) {
    struct statx stx {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS, &stx) != 0)
        return false;
    if (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
        return (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    // Kernels before 5.8 lack the attribute: compare with the parent's device.
    struct stat self {}, parent {};
    if (::lstat(path.c_str(), &self) != 0 || ::lstat((path + "/..").c_str(), &parent) != 0)
        return false;
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

std::optional<bool> isMountRoot(int fd) {
    struct statx stx {};
    if (::statx(fd, "", AT_EMPTY_PATH, 0, &stx) != 0 || !(stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT))
        return std::nullopt;
    return (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
}

std::vector<std::string> mountPointsBelow(const std::string& folder, const std::string& mountTable) {
    std::vector<std::string> found;
    libmnt_table* table = mnt_new_table();
    if (!table)
        return found;
    if (mnt_table_parse_file(table, mountTable.c_str()) == 0) {
        const std::string prefix = folder == "/" ? folder : folder + "/";
        libmnt_iter* iter = mnt_new_iter(MNT_ITER_FORWARD);
        libmnt_fs* fs = nullptr;
        while (iter && mnt_table_next_fs(table, iter, &fs) == 0) {
            const char* target = mnt_fs_get_target(fs);
            if (target && std::string_view(target).size() > prefix.size() && std::string_view(target).starts_with(prefix))
                found.emplace_back(target);
        }
        mnt_free_iter(iter);
    }
    mnt_unref_table(table);
    return found;
}

std::string lastPathComponent(const std::string& path) {
    std::size_t end = path.size();
    while (end > 0 && path[end - 1] == '/')
        --end;
    const std::size_t slash = path.rfind('/', end == 0 ? 0 : end - 1);
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    return end > start ? path.substr(start, end - start) : std::string();
}

std::string parentPath(const std::string& path) {
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    const std::size_t slash = path.rfind('/', end - 1);
    if (slash == std::string::npos)
        return "";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = EIO;
        if (n <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

} // namespace brisklet::platform
