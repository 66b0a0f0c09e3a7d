#include "Trash.h"

#include "FileOperations.h"
#include "FileServices.h"
#include "UniqueFd.h"
#include "Utf8.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <ftw.h>
#include <functional>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace brisklet::platform::Trash {

namespace {

constexpr std::size_t fileNameLimit = 255;
const std::string infoSuffix = ".trashinfo";

bool lstatOf(const std::string& path, struct stat& st) { return ::lstat(path.c_str(), &st) == 0; }

// The closest folder at or above path that exists.
std::string nearestExisting(std::string path) {
    struct stat st {};
    while (!path.empty() && path != "/" && !lstatOf(path, st))
        path = parentPath(path);
    return path.empty() ? std::string("/") : path;
}

// The mount point at or above a resolved, existing folder.
std::string mountRootOf(const std::string& folder) {
    std::string current = folder;
    while (current != "/" && !current.empty() && !isMountPoint(current))
        current = parentPath(current);
    return current.empty() ? std::string("/") : current;
}

std::string uidText() { return std::to_string(::getuid()); }

// $topdir/.Trash may hold per-user trashes only when it is a real folder with the sticky bit.
bool sharedTrashIsUsable(const std::string& topdir) {
    struct stat st {};
    return lstatOf(joinPath(topdir, ".Trash"), st) && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX);
}

// A per-user trash folder on a volume: created when missing; must be our own real folder.
std::optional<std::string> usableUserFolder(const std::string& path) {
    struct stat st {};
    if (!lstatOf(path, st)) {
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return std::string(std::strerror(errno));
        if (!lstatOf(path, st))
            return std::string(std::strerror(errno));
    }
    if (!S_ISDIR(st.st_mode))
        return path + " is not a folder";
    if (st.st_uid != ::getuid())
        return path + " belongs to another user";
    return std::nullopt;
}

std::optional<std::string> makeFilesAndInfo(const std::string& trash) {
    for (const char* sub : {"files", "info"}) {
        const std::string folder = joinPath(trash, sub);
        if (!createDirectories(folder, 0700))
            return folder + " cannot be created: " + std::strerror(errno ? errno : ENOTDIR);
    }
    return std::nullopt;
}

std::string volumeTrashFailure(const std::string& topdir, const std::string& reason) {
    return "the volume at " + topdir + " has no usable Trash folder (" + reason + ")";
}

struct VolumeTrash {
    std::string directory;
    std::string failure;
};

VolumeTrash prepareVolumeTrash(const std::string& topdir) {
    if (sharedTrashIsUsable(topdir)) {
        const std::string perUser = joinPath(joinPath(topdir, ".Trash"), uidText());
        if (!usableUserFolder(perUser) && !makeFilesAndInfo(perUser))
            return {perUser, {}};
    }
    const std::string own = joinPath(topdir, ".Trash-" + uidText());
    if (auto problem = usableUserFolder(own))
        return {{}, volumeTrashFailure(topdir, *problem)};
    if (auto problem = makeFilesAndInfo(own))
        return {{}, volumeTrashFailure(topdir, *problem)};
    return {own, {}};
}

std::string localDeletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// Rewrites directorysizes of the trash folder open at trash through a temporary file and a rename.
// The read-modify-write holds an flock on the trash folder itself (the file is replaced, so it cannot
// carry the lock), which keeps two processes, or two threads, from each writing back a list without
// the other's line. Other programs replace the file atomically but do not lock; a file system without
// flock goes unlocked.
void editDirectorySizes(int trash, const std::function<bool(std::vector<std::string>&)>& edit) {
    // A description of its own: the lock goes with it, whatever else keeps the folder open.
    const UniqueFd folder(::openat(trash, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder)
        return;
    while (::flock(folder.get(), LOCK_EX) != 0 && errno == EINTR) {
    }
    const std::string file = "directorysizes";
    std::vector<std::string> lines;
    // A line per trashed folder: far below this, whatever the Trash holds.
    constexpr std::uint64_t fileLimit = 64 * 1024 * 1024;
    if (const auto contents = readRegularFileAt(folder.get(), file, fileLimit)) {
        std::istringstream in(*contents);
        std::string line;
        while (std::getline(in, line))
            if (!line.empty())
                lines.push_back(line);
    }
    if (!edit(lines))
        return;
    UniqueFd fd;
    std::string temporary;
    for (unsigned attempt = 0; !fd && attempt < 100; ++attempt) {
        temporary = file + "." + std::to_string(::getpid()) + "." + std::to_string(attempt);
        fd.reset(::openat(folder.get(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd && errno != EEXIST)
            return;
    }
    if (!fd)
        return;
    std::string contents;
    for (const std::string& line : lines)
        contents += line + "\n";
    const bool written = writeAll(fd.get(), contents);
    if (::close(fd.release()) != 0 || !written ||
        ::renameat(folder.get(), temporary.c_str(), folder.get(), file.c_str()) != 0)
        ::unlinkat(folder.get(), temporary.c_str(), 0);
}

void editDirectorySizes(const std::string& trash, const std::function<bool(std::vector<std::string>&)>& edit) {
    if (const UniqueFd folder(::open(trash.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); folder)
        editDirectorySizes(folder.get(), edit);
}

// The name field of a directorysizes line: the third, space-separated.
std::string directorySizesName(const std::string& line) {
    const std::size_t first = line.find(' ');
    const std::size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
    return second == std::string::npos ? std::string() : line.substr(second + 1);
}

void recordDirectorySize(const std::string& trash, const std::string& name, const std::string& infoFile) {
    struct stat info {};
    if (!lstatOf(infoFile, info))
        return;
    const std::string line = std::to_string(diskUsage(joinPath(joinPath(trash, "files"), name))) + " " +
                             std::to_string(static_cast<long long>(info.st_mtime)) + " " + encodePath(name);
    const std::string encoded = encodePath(name);
    editDirectorySizes(trash, [&](std::vector<std::string>& lines) {
        std::erase_if(lines, [&](const std::string& existing) { return directorySizesName(existing) == encoded; });
        lines.push_back(line);
        return true;
    });
}

std::pair<std::string, std::string> splitExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size())
        return {name, {}};
    return {name.substr(0, dot), name.substr(dot + 1)};
}

// Cuts text to at most bytes (at least one) without splitting a UTF-8 sequence. Only a real sequence
// moves the cut back: bytes that are not UTF-8 are cut where they fall, so a name of stray
// continuation bytes keeps its visible part rather than shrinking to nothing.
std::string cutUtf8(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes)
        return text;
    std::size_t end = std::max<std::size_t>(bytes, 1);
    for (std::size_t back = 1; back <= 3 && back <= end; ++back) {
        const auto byte = static_cast<unsigned char>(text[end - back]);
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: look further back for its lead
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        if (length > back && isValidUtf8(std::string_view(text).substr(end - back, length)) && end > back)
            end -= back; // the cut falls inside this character: leave it out whole
        break;
    }
    return text.substr(0, end);
}

enum class Attempt { moved, failed, otherFileSystem };

struct AttemptResult {
    Attempt kind;
    std::string text; // trashed path, or the failure's reason
    std::string deletionDate = {}; // written in the info file of a moved item
};

// One try at a particular trash folder: reserve a name, write the info file, rename the item.
AttemptResult moveInto(const std::string& trash, const std::string& item, bool isFolder, const std::string& name,
                       const std::string& recordedPath) {
    const std::string deletionDate = localDeletionDate();
    const std::string contents =
        "[Trash Info]\nPath=" + encodePath(recordedPath) + "\nDeletionDate=" + deletionDate + "\n";
    const std::string infoFolder = joinPath(trash, "info");
    const std::string filesFolder = joinPath(trash, "files");
    for (unsigned attempt = 1; attempt < 100000; ++attempt) {
        const std::string candidate = trashName(name, attempt);
        const std::string infoFile = joinPath(infoFolder, candidate + infoSuffix);
        UniqueFd fd(::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (!fd) {
            if (errno == EEXIST)
                continue;
            return {Attempt::failed, "cannot write in " + infoFolder + ": " + std::strerror(errno)};
        }
        const bool written = writeAll(fd.get(), contents);
        const int writeError = errno;
        if (::close(fd.release()) != 0 || !written) {
            ::unlink(infoFile.c_str());
            return {Attempt::failed, "cannot write in " + infoFolder + ": " + std::strerror(writeError)};
        }
        const std::string destination = joinPath(filesFolder, candidate);
        struct stat st {};
        if (lstatOf(destination, st)) { // a leftover without its info file: leave it, take another name
            ::unlink(infoFile.c_str());
            continue;
        }
        int moved = ::renameat2(AT_FDCWD, item.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE);
        if (moved != 0 && errno == EINVAL && !lstatOf(destination, st))
            moved = ::rename(item.c_str(), destination.c_str()); // no RENAME_NOREPLACE here; name is reserved
        if (moved == 0) {
            if (isFolder)
                recordDirectorySize(trash, candidate, infoFile);
            return {Attempt::moved, destination, deletionDate};
        }
        const int error = errno;
        ::unlink(infoFile.c_str());
        if (error == EEXIST || error == ENOTEMPTY)
            continue;
        if (error == EXDEV)
            return {Attempt::otherFileSystem, std::strerror(error)};
        return {Attempt::failed, std::strerror(error)};
    }
    return {Attempt::failed, "no free name left in " + filesFolder};
}

// The Trash must never swallow itself or a folder that holds it.
std::optional<std::string> conflictWithTrash(const std::string& item, const std::string& trash) {
    const std::string resolvedTrash = resolvedPath(trash).value_or(standardizedPath(trash));
    if (isWithinPath(item, resolvedTrash))
        return std::string("it is already in the Trash");
    if (isWithinPath(resolvedTrash, item))
        return std::string("it holds the Trash folder ") + trash;
    return std::nullopt;
}

} // namespace

std::string homeTrashDirectory() { return joinPath(applicationSupportDirectory(), "Trash"); }

std::vector<std::string> trashDirectoriesFor(const std::string& location) {
    std::vector<std::string> folders;
    const std::string home = homeTrashDirectory();
    folders.push_back(resolvedPath(home).value_or(standardizedPath(home)));

    const std::string anchor = nearestExisting(parentPath(standardizedPath(location)));
    const std::string topdir = mountRootOf(resolvedPath(anchor).value_or(anchor));
    if (sharedTrashIsUsable(topdir))
        folders.push_back(joinPath(joinPath(topdir, ".Trash"), uidText()));
    folders.push_back(joinPath(topdir, ".Trash-" + uidText()));
    return folders;
}

TrashMove moveToTrash(const std::string& path) {
    // Locate the item: folders above it resolved, the last component kept as it is.
    const std::string stripped = withoutTrailingSlashes(path);
    std::string name = lastPathComponent(stripped);
    std::string item;
    auto failure = [&](const std::string& reason) {
        return TrashMove{false, "cannot move " + quotedName(name.empty() ? path : name) + " to the Trash: " + reason,
                         std::nullopt};
    };
    if (name.empty() || name == "." || name == "..") {
        auto resolved = resolvedPath(stripped);
        if (!resolved)
            return failure(std::strerror(errno));
        item = *resolved;
    } else {
        const std::string folder = parentPath(stripped);
        auto resolvedFolder = resolvedPath(folder.empty() ? "." : folder);
        if (!resolvedFolder)
            return failure(std::strerror(errno));
        item = joinPath(*resolvedFolder, name);
    }
    name = lastPathComponent(item);
    struct stat itemStat {};
    if (item == "/" || name.empty())
        return failure("it is the root folder");
    if (!lstatOf(item, itemStat))
        return failure(std::strerror(errno));
    if (isMountPoint(item))
        return failure("it is a mount point");
    const bool isFolder = S_ISDIR(itemStat.st_mode);
    const std::string itemFolder = parentPath(item);
    // The item as looked at before the move: should another take its place before the rename, that
    // one is not what a later restore or delete will act on.
    auto moved = [&itemStat](const AttemptResult& result, const std::string& recordedPath) {
        return TrashMove{true, {}, result.text,
                         {itemStat.st_dev, itemStat.st_ino, encodePath(recordedPath), result.deletionDate}};
    };

    // Record the path as the user wrote it when it names the same place, else the resolved one.
    std::string original = item;
    if (!path.empty() && path.front() == '/') {
        const std::string lexical = standardizedPath(path);
        struct stat lexicalFolder {}, realFolder {};
        if (lastPathComponent(lexical) == name && ::stat(parentPath(lexical).c_str(), &lexicalFolder) == 0 &&
            ::stat(itemFolder.c_str(), &realFolder) == 0 && lexicalFolder.st_dev == realFolder.st_dev &&
            lexicalFolder.st_ino == realFolder.st_ino)
            original = lexical;
    }

    const std::string topdir = mountRootOf(itemFolder);
    for (const std::string& trash : trashDirectoriesFor(item))
        if (auto conflict = conflictWithTrash(item, trash))
            return failure(*conflict);

    // The home trash serves its own file system; it is tried first when the devices agree, and a
    // rename that still crosses a mount (bind mounts share devices) falls back to the volume's trash.
    const std::string homeTrash = homeTrashDirectory();
    struct stat homeAnchor {};
    const bool homeFirst =
        ::stat(nearestExisting(homeTrash).c_str(), &homeAnchor) == 0 && homeAnchor.st_dev == itemStat.st_dev;
    if (homeFirst) {
        if (!createDirectories(homeTrash, 0700))
            return failure("the Trash folder " + homeTrash + " cannot be created: " + std::strerror(errno));
        if (auto problem = makeFilesAndInfo(homeTrash))
            return failure("the Trash folder " + *problem);
        const AttemptResult result = moveInto(homeTrash, item, isFolder, name, original);
        if (result.kind == Attempt::moved)
            return moved(result, original);
        if (result.kind == Attempt::failed)
            return failure(result.text);
    }

    const VolumeTrash volume = prepareVolumeTrash(topdir);
    if (volume.directory.empty())
        return failure(volume.failure);
    std::string relative = item.substr(topdir == "/" ? 1 : topdir.size() + 1);
    if (isWithinPath(original, topdir) && original != topdir)
        relative = original.substr(topdir == "/" ? 1 : topdir.size() + 1);
    const AttemptResult result = moveInto(volume.directory, item, isFolder, name, relative);
    if (result.kind == Attempt::moved)
        return moved(result, relative);
    if (result.kind == Attempt::otherFileSystem)
        return failure(volumeTrashFailure(topdir, "its trash folder is on another file system"));
    return failure(result.text);
}

void dropDirectorySize(int trash, const std::string& name) {
    struct stat st {};
    if (::fstatat(trash, "directorysizes", &st, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    const std::string encoded = encodePath(name);
    editDirectorySizes(trash, [&](std::vector<std::string>& lines) {
        const auto before = lines.size();
        std::erase_if(lines, [&](const std::string& line) { return directorySizesName(line) == encoded; });
        return lines.size() != before;
    });
}

void forgetItem(const std::string& location) {
    struct stat st {};
    if (lstatOf(location, st))
        return;
    for (const std::string& trash : trashDirectoriesFor(location)) {
        const std::string files = joinPath(trash, "files");
        if (!isWithinPath(location, files) || location == files)
            continue;
        const std::string rest = location.substr(files.size() + 1);
        const std::string top = rest.substr(0, rest.find('/'));
        if (top == rest)
            ::unlink(joinPath(joinPath(trash, "info"), top + infoSuffix).c_str());
        if (const UniqueFd folder(::open(trash.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); folder)
            dropDirectorySize(folder.get(), top);
        return;
    }
}

std::string encodePath(const std::string& bytes) {
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            byte == '-' || byte == '_' || byte == '.' || byte == '~' || byte == '/') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += hex[byte >> 4];
            encoded += hex[byte & 0xF];
        }
    }
    return encoded;
}

std::optional<std::string> decodePath(const std::string& text) {
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = digit(text[i + 1]), low = digit(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

std::string trashName(const std::string& name, unsigned attempt) {
    const std::size_t limit = fileNameLimit - infoSuffix.size();
    auto [stem, extension] = splitExtension(name);
    if (extension.size() > limit / 4) { // an "extension" that long is part of the name
        stem = name;
        extension.clear();
    }
    std::string suffix = attempt > 1 ? "." + std::to_string(attempt) : std::string();
    if (!extension.empty())
        suffix += "." + extension;
    if (attempt == 1 && name.size() <= limit)
        return name;
    return cutUtf8(stem, limit - suffix.size()) + suffix;
}

} // namespace brisklet::platform::Trash
