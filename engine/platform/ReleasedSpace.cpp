#include "ReleasedSpace.h"

#include "DirectoryStream.h"
#include "FileServices.h"
#include "UniqueFd.h"

#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <utility>

namespace brisklet::platform {

namespace {

// One descriptor stays open per level; below this depth nothing more is counted, so a pathological tree
// can only make the figure smaller than what is released, never larger.
constexpr int maxDepth = 256;

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
            walk(fd.get(), 1);
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

    void walk(int folder, int depth) {
        if (m_stop.stop_requested())
            return;
        std::vector<std::string> names;
        {
            DirectoryStream stream{UniqueFd(::fcntl(folder, F_DUPFD_CLOEXEC, 0))};
            while (const char* name = stream ? stream.next() : nullptr)
                names.emplace_back(name);
        }
        for (const std::string& name : names) {
            struct stat st {};
            if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (!S_ISDIR(st.st_mode)) {
                count(st);
                continue;
            }
            if (depth >= maxDepth)
                continue;
            const UniqueFd child(::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            struct stat opened {};
            // Removal leaves another mounted file system (bind mounts too) in place: nothing there goes.
            if (!child || ::fstat(child.get(), &opened) != 0 || opened.st_dev != m_device ||
                isMountRoot(child.get()) == true)
                continue;
            m_usage.ownBytes += blocksOf(opened);
            walk(child.get(), depth + 1);
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
