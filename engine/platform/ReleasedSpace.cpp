#include "ReleasedSpace.h"

#include "DirectoryStream.h"
#include "FileServices.h"
#include "ParentFolder.h"
#include "UniqueFd.h"

#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace brisklet::platform {

namespace {

// At most this many folder descriptors stay open, whatever the depth: deeper down, the ancestors' are
// closed and reopened through ".." of their child on the way back, checked against the device and
// inode seen on the way down. A folder moved meanwhile ends the walk, so the figure can only come out
// smaller than what is released, never larger.
constexpr std::size_t maxOpenFolders = 32;

using InodeKey = std::pair<std::uint64_t, std::uint64_t>;

class UsageWalk {
public:
    explicit UsageWalk(std::stop_token stop) : m_stop(std::move(stop)) {}

    ItemUsage run(const std::string& path) {
        const std::string name = lastPathComponent(path);
        const std::string folder = parentPath(path);
        const UniqueFd parent(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat st {};
        if (!parent || name.empty() || ::fstatat(parent.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return {};
        m_device = st.st_dev;
        if (!S_ISDIR(st.st_mode)) {
            count(st);
        } else if (UniqueFd fd(::openat(parent.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
                   fd) {
            m_usage.ownBytes += blocksOf(st);
            walk(std::move(fd), st);
        }
        return std::move(m_usage);
    }

private:
    static std::int64_t blocksOf(const struct stat& st) { return static_cast<std::int64_t>(st.st_blocks) * 512; }

    void count(const struct stat& st) {
        if (st.st_nlink <= 1) {
            m_usage.ownBytes += blocksOf(st);
            return;
        }
        const auto [at, isNew] = m_linked.try_emplace({st.st_dev, st.st_ino}, m_usage.linkedFiles.size());
        if (isNew)
            m_usage.linkedFiles.push_back({st.st_dev, st.st_ino, st.st_nlink, 1, blocksOf(st)});
        else
            ++m_usage.linkedFiles[at->second].linksHere;
    }

    // A folder being walked: its listing, and how far through it the walk is.
    struct Level {
        UniqueFd fd; // closed while deep below, see maxOpenFolders
        dev_t device = 0;
        ino_t inode = 0;
        std::vector<std::string> names;
        std::size_t next = 0;
    };

    static void list(Level& level) {
        DirectoryStream stream{UniqueFd(::fcntl(level.fd.get(), F_DUPFD_CLOEXEC, 0))};
        while (const char* name = stream ? stream.next() : nullptr)
            level.names.emplace_back(name);
    }

    // Depth first without recursion, so a chain of any depth costs one listing per level.
    void walk(UniqueFd top, const struct stat& st) {
        std::vector<Level> stack;
        stack.push_back({std::move(top), st.st_dev, st.st_ino, {}, 0});
        list(stack.back());
        while (!stack.empty()) {
            if (m_stop.stop_requested())
                return;
            if (stack.back().next == stack.back().names.size()) {
                const Level done = std::move(stack.back());
                stack.pop_back();
                if (stack.empty() || stack.back().fd)
                    continue;
                Level& above = stack.back();
                above.fd = reopenParent(done.fd.get(), above.device, above.inode);
                if (!above.fd)
                    return;
                continue;
            }
            Level& level = stack.back();
            const std::string& name = level.names[level.next++];
            struct stat entry {};
            if (::fstatat(level.fd.get(), name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (!S_ISDIR(entry.st_mode)) {
                count(entry);
                continue;
            }
            UniqueFd child(::openat(level.fd.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            struct stat opened {};
            // Removal leaves another mounted file system (bind mounts too) in place: nothing there goes.
            if (!child || ::fstat(child.get(), &opened) != 0 || opened.st_dev != m_device ||
                isMountRoot(child.get()) == true)
                continue;
            m_usage.ownBytes += blocksOf(opened);
            stack.push_back({std::move(child), opened.st_dev, opened.st_ino, {}, 0});
            list(stack.back());
            if (stack.size() > maxOpenFolders)
                stack[stack.size() - 1 - maxOpenFolders].fd.reset();
        }
    }

    std::stop_token m_stop;
    dev_t m_device = 0;
    ItemUsage m_usage;
    std::map<InodeKey, std::size_t> m_linked;
};

} // namespace

ItemUsage measureItemUsage(const std::string& path, std::stop_token stop) {
    if (path.empty() || path.find('\0') != std::string::npos)
        return {};
    return UsageWalk(std::move(stop)).run(withoutTrailingSlashes(path));
}

std::vector<std::int64_t> releasedBytes(const std::vector<ItemUsage>& items, const std::vector<bool>& removed) {
    std::map<InodeKey, std::uint64_t> linksLeaving;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (i < removed.size() && removed[i])
            for (const ItemUsage::LinkedFile& file : items[i].linkedFiles)
                linksLeaving[{file.device, file.inode}] += file.linksHere;

    std::vector<std::int64_t> released(items.size(), 0);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i >= removed.size() || !removed[i])
            continue;
        released[i] = items[i].ownBytes;
        for (const ItemUsage::LinkedFile& file : items[i].linkedFiles) {
            const auto leaving = linksLeaving.find({file.device, file.inode});
            if (leaving == linksLeaving.end() || leaving->second < file.links)
                continue;
            released[i] += file.bytes;
            linksLeaving.erase(leaving); // counted once, at the first item holding one of its links
        }
    }
    return released;
}

} // namespace brisklet::platform
