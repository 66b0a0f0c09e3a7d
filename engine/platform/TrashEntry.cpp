#include "TrashEntry.h"

#include "FileServices.h"
#include "Trash.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace brisklet::platform {

namespace {

// An info file is a few lines; anything larger is not one we wrote.
constexpr std::size_t infoFileLimit = 64 * 1024;

std::optional<std::string> readInfoFile(int infoFolder, const std::string& name) {
    const UniqueFd fd(
        ::openat(infoFolder, (name + ".trashinfo").c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || std::size_t(st.st_size) > infoFileLimit)
        return std::nullopt;
    std::string contents;
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 || contents.size() + std::size_t(count) > infoFileLimit)
            return std::nullopt;
        if (count == 0)
            return contents;
        contents.append(buffer, std::size_t(count));
    }
}

} // namespace

std::optional<TrashEntry> TrashEntry::open(const std::string& place, std::string& failure) {
    const std::string files = parentPath(place);
    const std::string name = lastPathComponent(place);
    if (lastPathComponent(files) != "files" || name.empty() || name == "." || name == "..") {
        failure = changedInTrash;
        return std::nullopt;
    }
    UniqueFd trash(::open(parentPath(files).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    UniqueFd filesFd(trash ? ::openat(trash.get(), "files", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1);
    UniqueFd infoFd(trash ? ::openat(trash.get(), "info", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1);
    if (!filesFd || !infoFd) {
        failure = std::string("cannot open the Trash folder: ") + std::strerror(errno);
        return std::nullopt;
    }
    return TrashEntry(std::move(trash), std::move(filesFd), std::move(infoFd), name, place);
}

void TrashEntry::forget() const {
    struct stat st {};
    if (::fstatat(m_files.get(), m_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT)
        return;
    ::unlinkat(m_info.get(), (m_name + ".trashinfo").c_str(), 0);
    Trash::dropDirectorySize(m_trash.get(), m_name);
}

std::optional<std::string> TrashEntry::check(const TrashEntryIdentity& expected) const {
    struct stat st {};
    if (::fstatat(m_files.get(), m_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? std::string(goneFromTrash) : std::string(std::strerror(errno));
    if (std::uint64_t(st.st_dev) != expected.device || std::uint64_t(st.st_ino) != expected.inode)
        return std::string(changedInTrash);
    const std::optional<std::string> info = readInfoFile(m_info.get(), m_name);
    if (!info)
        return std::string(changedInTrash);
    const TrashInfoLines lines = parseTrashInfo(*info);
    if (lines.path != expected.infoPath || lines.deletionDate != expected.deletionDate)
        return std::string(changedInTrash);
    return std::nullopt;
}

TrashInfoLines parseTrashInfo(const std::string& contents) {
    TrashInfoLines lines;
    bool inGroup = false;
    bool havePath = false, haveDate = false;
    std::size_t start = 0;
    while (start < contents.size()) {
        std::size_t end = contents.find('\n', start);
        if (end == std::string::npos)
            end = contents.size();
        std::string line = contents.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line.front() == '[') {
            inGroup = line == "[Trash Info]";
            continue;
        }
        if (!inGroup)
            continue;
        // A repeated key does not replace the first.
        if (!havePath && line.rfind("Path=", 0) == 0) {
            lines.path = line.substr(5);
            havePath = true;
        } else if (!haveDate && line.rfind("DeletionDate=", 0) == 0) {
            lines.deletionDate = line.substr(13);
            haveDate = true;
        }
    }
    return lines;
}

} // namespace brisklet::platform
