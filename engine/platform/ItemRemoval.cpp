// removeItem: rm -r done relative to folder descriptors, safe against renames by other processes.
//
// Protocol:
//  - The item is named once, by its parent folder's descriptor and its last component; everything below
//    is reached with openat(O_NOFOLLOW | O_DIRECTORY) from the folder above and removed with unlinkat.
//    A path is never resolved again, so a folder swapped for a symbolic link while the walk runs is met
//    as a link and unlinked as one: its target is never entered.
//  - Every folder entered must be on the item's own file system and not the root of a mount (a bind
//    mount of a folder of the same disk shares its device). Such a folder is left in place and reported.
//  - A folder is listed completely before anything in it is removed, so at most one listing stream is
//    open at a time. At most maxOpenFolders folder descriptors stay open: deeper down, the ancestors'
//    are closed and reopened through ".." of their child on the way back, checked against the device
//    and inode seen on the way down (a folder moved meanwhile ends the walk with an error).
//  - Removal goes on after a failure, as much as possible; the first failure is reported. Messages name
//    the item by its last component, so no level keeps its full path (a deep tree would hold the square
//    of its depth in paths).
#include "DirectoryStream.h"
#include "FileOperations.h"

#include "FileServices.h"
#include "ParentFolder.h"
#include "UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace brisklet::platform {

namespace {

constexpr std::size_t maxOpenFolders = 32;

struct Folder {
    UniqueFd fd; // closed while deep below, see maxOpenFolders
    dev_t device = 0;
    ino_t inode = 0;
    std::string name; // in the folder above (full paths are built only for the hook)
    std::vector<std::string> names;
    std::size_t next = 0;
};

bool listNames(int fd, std::vector<std::string>& names) {
    DirectoryStream stream{UniqueFd(::fcntl(fd, F_DUPFD_CLOEXEC, 0))};
    if (!stream)
        return false;
    while (const char* name = stream.next())
        names.emplace_back(name);
    return true;
}

class Removal {
public:
    Removal(std::string path, const RemovalHook& hook, std::optional<ItemIdentity> expected = std::nullopt)
        : m_path(std::move(path)), m_hook(hook), m_expected(expected) {}

    std::optional<std::string> run() {
        const std::string name = lastPathComponent(m_path);
        if (name.empty() || name == "." || name == "..")
            return "cannot delete " + quotedName(m_path) + ": " + std::strerror(EINVAL);
        std::string parentFolder = parentPath(m_path);
        if (parentFolder.empty())
            parentFolder = ".";
        UniqueFd parent(::open(parentFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!parent)
            return "cannot delete " + quotedName(m_path) + ": " + std::strerror(errno);
        return runAt(parent.get(), name);
    }

    std::optional<std::string> runAt(int parent, const std::string& name) {
        struct stat st {};
        if (::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return "cannot delete " + quotedName(m_path) + ": " + std::strerror(errno);
        if (!isExpected(st))
            return "cannot delete " + quotedName(m_path) + ": it is no longer the same item";
        m_device = st.st_dev;
        removeEntry(parent, name);
        return m_failure.empty() ? std::nullopt : std::optional(m_failure);
    }

private:
    // name: the last component of what failed.
    void fail(const std::string& name, const std::string& reason) {
        if (m_failure.empty())
            m_failure = "cannot delete " + quotedName(name) + ": " + reason;
    }
    void fail(const std::string& name, int error) { fail(name, std::strerror(error)); }

    // The full path of name inside the innermost folder on the stack (the item itself when empty).
    std::string pathOf(const std::string& name) const {
        if (m_stack.empty())
            return m_path;
        std::string path = m_path;
        for (const Folder& folder : m_stack)
            if (&folder != &m_stack.front())
                path = joinPath(path, folder.name);
        return joinPath(path, name);
    }

    bool isExpected(const struct stat& st) const {
        return !m_expected ||
               (std::uint64_t(st.st_dev) == m_expected->device && std::uint64_t(st.st_ino) == m_expected->inode);
    }

    // Removes name in the folder at, whatever it is now. A folder is walked (pushed on m_stack). The item
    // itself, when it must be a particular one, is looked at once more just before it goes.
    void removeEntry(int at, const std::string& name) {
        const bool top = m_stack.empty();
        const std::string& path = name;
        if (top && m_expected) {
            struct stat st {};
            if (::fstatat(at, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !isExpected(st)) {
                fail(path, "it is no longer the same item");
                return;
            }
            if (!S_ISDIR(st.st_mode)) {
                if (::unlinkat(at, name.c_str(), 0) != 0 && errno != ENOENT)
                    fail(path, errno);
                return;
            }
        } else if (::unlinkat(at, name.c_str(), 0) == 0 || errno == ENOENT) {
            return;
        } else if (errno != EISDIR && errno != EPERM) {
            fail(path, errno);
            return;
        }
        if (m_hook)
            m_hook(pathOf(name));
        UniqueFd fd(::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd) {
            const int error = errno;
            if (error == ENOENT)
                return;
            if ((error == ENOTDIR || error == ELOOP) && top && m_expected) {
                fail(path, "it is no longer the same item");
                return;
            }
            // No longer a folder: swapped for a link or a file since it was looked at. Remove that.
            if (error == ENOTDIR || error == ELOOP) {
                if (::unlinkat(at, name.c_str(), 0) != 0 && errno != ENOENT)
                    fail(path, errno);
                return;
            }
            // An empty folder that cannot be read can still be removed.
            if (::unlinkat(at, name.c_str(), AT_REMOVEDIR) != 0)
                fail(path, error);
            return;
        }
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0) {
            fail(path, errno);
            return;
        }
        if (top && !isExpected(st)) {
            fail(path, "it is no longer the same item");
            return;
        }
        if (st.st_dev != m_device || isMountRoot(fd.get()) == true) {
            fail(path, "another file system is mounted there");
            return;
        }
        Folder folder{std::move(fd), st.st_dev, st.st_ino, name, {}, 0};
        if (!listNames(folder.fd.get(), folder.names)) {
            fail(path, errno);
            return;
        }
        m_stack.push_back(std::move(folder));
        if (m_stack.size() > maxOpenFolders)
            m_stack[m_stack.size() - 1 - maxOpenFolders].fd.reset();
        if (m_stack.size() == 1)
            walk(at);
    }

    // Empties the folders on the stack depth first, removing each once emptied.
    void walk(int outermost) {
        while (!m_stack.empty()) {
            Folder& top = m_stack.back();
            if (top.next < top.names.size()) {
                // Copied: removeEntry may grow the stack under it.
                const std::string name = top.names[top.next++];
                removeEntry(top.fd.get(), name);
                continue;
            }
            Folder done = std::move(m_stack.back());
            m_stack.pop_back();
            int at = outermost;
            if (!m_stack.empty()) {
                Folder& above = m_stack.back();
                if (!above.fd)
                    above.fd = reopenParent(done.fd.get(), above.device, above.inode);
                if (!above.fd) {
                    fail(above.name, "it was moved while its contents were deleted");
                    m_stack.clear();
                    return;
                }
                at = above.fd.get();
            }
            done.fd.reset();
            if (::unlinkat(at, done.name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT)
                fail(done.name, errno);
        }
    }

    std::string m_path;
    const RemovalHook& m_hook;
    std::optional<ItemIdentity> m_expected;
    dev_t m_device = 0;
    std::vector<Folder> m_stack;
    std::string m_failure;
};

} // namespace

std::optional<std::string> removeItem(const std::string& path, const RemovalHook& beforeEntering) {
    std::string trimmed = withoutTrailingSlashes(path);
    if (trimmed.empty() || trimmed.find('\0') != std::string::npos)
        return "cannot delete " + quotedName(path) + ": " + std::strerror(ENOENT);
    return Removal(std::move(trimmed), beforeEntering).run();
}

std::optional<std::string> removeItemAt(int folder, const std::string& name, const std::string& path,
                                        const ItemIdentity& expected) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        name.find('\0') != std::string::npos)
        return "cannot delete " + quotedName(path) + ": " + std::strerror(EINVAL);
    const RemovalHook noHook;
    return Removal(path, noHook, expected).runAt(folder, name);
}

} // namespace brisklet::platform
