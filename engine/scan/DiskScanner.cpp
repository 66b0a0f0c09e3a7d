#include "DiskScanner.h"

#include "DirectoryIOPool.h"
#include "ScanCollectors.h"
#include "platform/FileServices.h"
#include "platform/HostProfile.h"
#include "platform/UniqueFd.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <climits>
#include <cmath>
#include <stdexcept>
#include <exception>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/statfs.h>
#include <unordered_map>
#include <sys/syscall.h>
#include <unistd.h>

namespace brisklet {

DiskScanner::ScanError::ScanError(std::string path)
    : Error("The folder \"" + path + "\" does not exist or is not a folder."), m_path(std::move(path)) {}

DiskScanner::Stopped::Stopped(std::shared_ptr<const ScanResult> walked) : m_walked(std::move(walked)) {}

DiskScanner::DiskScanner(Options options, BeforeCall beforeCall)
    : m_options(std::move(options)), m_beforeCall(std::move(beforeCall)) {
    if (!std::isfinite(m_options.directoryTimeoutSeconds))
        throw std::invalid_argument("the folder time-out must be a finite number of seconds");
}

bool DiskScanner::isMountPoint(const std::string& path) { return platform::isMountPoint(path); }

namespace {

// Everything one scan shares between its folder reads and continuations. Queued reads keep it alive,
// so a scan can return (cancelled) while a read is still stuck in the file system.
struct ScanContext {
    DiskScanner::Options options;
    DiskScanner::BeforeCall hook;
    std::shared_ptr<ScanStats> stats;
    InodeTracker inodes;
    LargeFileCollector large;
    DirectoryIOPool pool;
    std::atomic<bool> cancelled{false};
    // Folders held open for their subfolders (see OpenFolder); shared with them, as they may outlive
    // the scan while a read is stuck.
    std::shared_ptr<std::atomic<int>> heldFolders = std::make_shared<std::atomic<int>>(0);

    // Per device: whether its file system fills every listing buffer until the folder ends.
    std::mutex fileSystemsLock;
    std::unordered_map<std::uint64_t, bool> fillsListingBuffers;

    std::mutex doneLock;
    std::condition_variable doneSignal;
    bool done = false;
    bool stopRequested = false; // seen by scan(), which then stops the walk on its own thread
    std::optional<ScanNode> root;
    std::optional<std::string> unavailableRoot;
    std::exception_ptr failure; // thrown while assembling answers (out of memory): ends the scan

    ScanContext(DiskScanner::Options o, DiskScanner::BeforeCall h, std::shared_ptr<ScanStats> s)
        : options(std::move(o)), hook(std::move(h)), stats(std::move(s)),
          large(options.topLargeFileCount, options.largeFileThresholdBytes),
          pool(options.maxWorkers, options.directoryTimeoutSeconds) {}

    void call(const std::string& path, std::string_view operation) const {
        if (hook)
            hook(path, operation);
    }

    void finishScan(std::optional<ScanNode> node, std::optional<std::string> unavailable) {
        {
            std::lock_guard lock(doneLock);
            if (done)
                return;
            done = true;
            root = std::move(node);
            unavailableRoot = std::move(unavailable);
        }
        doneSignal.notify_all();
    }

    void fail(std::exception_ptr error) {
        {
            std::lock_guard lock(doneLock);
            if (!failure)
                failure = std::move(error);
            done = true;
        }
        doneSignal.notify_all();
        cancel();
    }

    // Called from whichever thread asks for the stop: reads abandon at their next check, and scan()
    // wakes to answer the ones still waiting.
    void requestStop() {
        cancelled.store(true);
        pool.stopReads();
        {
            std::lock_guard lock(doneLock);
            stopRequested = true;
        }
        doneSignal.notify_all();
    }

    // Answers every waiting read at once; their continuations (run here, on the calling thread) put
    // the folders they leave unread into the tree, which then completes.
    void cancel() {
        cancelled.store(true);
        pool.cancel();
    }
};

// Local file systems whose listing call stops short of a full buffer only at the end of the folder.
// On them a short answer ends the listing, which saves one call per folder; network and user-space
// file systems may answer short in the middle and always get the confirming call.
bool fillsListingBuffers(ScanContext& ctx, int fd, std::uint64_t device) {
    {
        std::lock_guard lock(ctx.fileSystemsLock);
        if (const auto known = ctx.fillsListingBuffers.find(device); known != ctx.fillsListingBuffers.end())
            return known->second;
    }
    struct statfs fs {};
    bool fills = false;
    if (::fstatfs(fd, &fs) == 0) {
        switch (static_cast<unsigned long>(fs.f_type)) {
        case 0xEF53:     // ext2, ext3, ext4
        case 0x01021994: // tmpfs
        case 0x9123683E: // btrfs
        case 0x58465342: // xfs
            fills = true;
            break;
        default:
            break;
        }
    }
    std::lock_guard lock(ctx.fileSystemsLock);
    ctx.fillsListingBuffers.emplace(device, fills);
    return fills;
}

std::string displayName(const std::string& path) {
    if (path == "/")
        return hostProfile().rootDisplayName;
    const std::string last = platform::lastPathComponent(path);
    return last.empty() ? std::string("/") : last;
}

// Allocated space, or the logical length for data that takes no local blocks; a symlink's own length.
std::int64_t entrySize(const struct statx& st) {
    const auto length = static_cast<std::int64_t>(std::min<std::uint64_t>(st.stx_size, INT64_MAX));
    if (S_ISLNK(st.stx_mode) || st.stx_blocks == 0)
        return length;
    constexpr std::uint64_t maxBlocks = std::numeric_limits<std::int64_t>::max() / 512;
    return st.stx_blocks > maxBlocks ? std::numeric_limits<std::int64_t>::max()
                                     : static_cast<std::int64_t>(st.stx_blocks * 512);
}

// The fixed head of a getdents64 record; the NUL-terminated name follows at nameOffset.
struct LinuxDirent64Head {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
};
constexpr std::size_t nameOffset = offsetof(LinuxDirent64Head, d_type) + 1;

} // namespace

// A folder of the walk held open for its subfolders; gives its place in the scan's budget back when the
// last of them has opened.
struct OpenFolder {
    platform::UniqueFd fd;
    std::shared_ptr<std::atomic<int>> held;
    ~OpenFolder() {
        fd.reset();
        held->fetch_sub(1);
    }
};

namespace {

// Folder descriptors a scan holds open for subfolders still to be opened. Up to the first figure any
// folder with subfolders keeps one; up to the second only one whose subfolders would otherwise be
// opened through farHops folders or more (a deep chain stays linear while a wide level holds the rest).
// With the pool's queues, a scan holds at most heldFoldersMax + width descriptors, so several scans
// at once stay well inside the usual limit of 1,024.
constexpr int heldFoldersSoft = 24;
constexpr int heldFoldersMax = 96;
constexpr int farHops = 8;

// A folder to read: its place, the listing's view of it, and where to open it from.
struct FolderToRead {
    std::shared_ptr<const PathLink> link;
    bool folded = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // The nearest folder above still open, hops components up; none: opened by its whole path.
    std::shared_ptr<const OpenFolder> above;
    int hops = 0;
};

// The path of folder relative to the folder hops levels above it.
std::string relativePath(const PathLink& folder, int hops) {
    std::vector<const std::string*> components;
    std::size_t length = 0;
    const PathLink* link = &folder;
    for (int i = 0; i < hops && link; ++i, link = link->parent().get()) {
        components.push_back(&link->component());
        length += link->component().size() + 1;
    }
    std::string path;
    path.reserve(length);
    for (auto component = components.rbegin(); component != components.rend(); ++component) {
        if (!path.empty())
            path.push_back('/');
        path.append(**component);
    }
    return path;
}

// Opens path relative to base (a folder descriptor or AT_FDCWD), without following a link in its last
// component when noFollow. A path longer than the system takes is opened in pieces.
platform::UniqueFd openFolderAt(int base, std::string_view path, bool noFollow) {
    constexpr int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    platform::UniqueFd fd;
    while (path.size() >= PATH_MAX) {
        const std::size_t cut = path.rfind('/', PATH_MAX - 1);
        if (cut == std::string_view::npos || cut == 0)
            return {};
        platform::UniqueFd piece(::openat(fd ? fd.get() : base, std::string(path.substr(0, cut)).c_str(),
                                          flags & ~O_NOFOLLOW));
        if (!piece)
            return {};
        fd = std::move(piece);
        path.remove_prefix(cut + 1);
    }
    fd.reset(::openat(fd ? fd.get() : base, std::string(path).c_str(), noFollow ? flags : flags & ~O_NOFOLLOW));
    return fd;
}

// Opens a folder of the walk without following a link in its last component, relative to the nearest
// folder above still open, and checks that it is the folder the listing above saw there (a rename
// meanwhile may have put a link or another folder in its place). The root is opened by its path, a
// link to a folder followed.
platform::UniqueFd openListedFolder(const FolderToRead& folder, bool root, struct stat& self) {
    platform::UniqueFd fd = root || !folder.above
                                ? openFolderAt(AT_FDCWD, folder.link->path(), !root)
                                : openFolderAt(folder.above->fd.get(), relativePath(*folder.link, folder.hops), true);
    if (!fd || ::fstat(fd.get(), &self) != 0)
        return {};
    if (!root && (static_cast<std::uint64_t>(self.st_dev) != folder.device ||
                  static_cast<std::uint64_t>(self.st_ino) != folder.inode))
        return {};
    return fd;
}

// Keeps the folder open for its subfolders when the scan's budget allows (see heldFoldersSoft).
std::shared_ptr<const OpenFolder> holdOpen(ScanContext& ctx, platform::UniqueFd fd, int childHops) {
    const int limit = childHops >= farHops ? heldFoldersMax : heldFoldersSoft;
    if (ctx.heldFolders->fetch_add(1) >= limit) {
        ctx.heldFolders->fetch_sub(1);
        return nullptr;
    }
    auto open = std::make_shared<OpenFolder>();
    open->held = ctx.heldFolders;
    open->fd = std::move(fd);
    return open;
}

// Reads one folder: the whole listing first, then one status query per entry. Inside a folded folder
// (where large files are not collected either) files are only counted and sized: their nodes would be
// dropped when the folded folder completes. Hard links and large files are left to the answer's
// continuation (see DirectoryWork).
DirectoryWork readFolder(ScanContext& ctx, const FolderToRead& folder, bool collectLargeFiles, bool validateRoot,
                         const StopCheck& stop) {
    const bool keepNodes = collectLargeFiles;
    if (stop())
        return {};
    // Full paths are built only for the hook and the rare checks that need one.
    const std::string hookPath = ctx.hook ? folder.link->path() : std::string();
    if (validateRoot) {
        ctx.call(hookPath, "validate");
        if (stop())
            return {};
        const bool isFolder = platform::existsAndIsFolder(folder.link->path());
        if (stop())
            return {};
        if (!isFolder) {
            DirectoryWork work;
            work.rootUnavailable = true;
            return work;
        }
    }

    ctx.call(hookPath, "open");
    if (stop())
        return {};
    struct stat self {};
    platform::UniqueFd opened = openListedFolder(folder, validateRoot, self);
    if (!opened)
        return DirectoryWork::unreadableRecord();
    const int fd = opened.get();
    const auto device = static_cast<std::uint64_t>(self.st_dev);

    // Names are kept back to back in one buffer per thread, reused from folder to folder: listing
    // costs no allocation per entry.
    static thread_local std::string names;
    static thread_local std::vector<std::uint32_t> offsets;
    static thread_local std::vector<unsigned char> types;
    names.clear();
    offsets.clear();
    types.clear();
    alignas(LinuxDirent64Head) static thread_local char buffer[64 * 1024];
    // Room for the largest record: a 255-byte name with its head and padding.
    constexpr long roomForAnyRecord = 280;
    const bool shortAnswerEnds = fillsListingBuffers(ctx, fd, device);
    for (bool listed = false; !listed;) {
        if (stop())
            return {};
        if (ctx.hook)
            ctx.call(hookPath, "read");
        if (stop())
            return {};
        const long n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (n <= 0)
            break; // end of the listing, or a folder that vanished while listed
        listed = shortAnswerEnds && n + roomForAnyRecord <= static_cast<long>(sizeof buffer);
        for (long pos = 0; pos < n;) {
            const auto* entry = reinterpret_cast<const LinuxDirent64Head*>(buffer + pos);
            const char* name = buffer + pos + nameOffset;
            pos += entry->d_reclen;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            offsets.push_back(static_cast<std::uint32_t>(names.size()));
            types.push_back(entry->d_type);
            names.append(name, ::strnlen(name, 1024));
            names.push_back('\0');
            // Each entry counts as one read for the hook, so tests can stall a listing midway.
            if (ctx.hook && pos < n) {
                ctx.call(hookPath, "read");
                if (stop())
                    return {};
            }
        }
        if (stop())
            return {};
    }
    if (offsets.empty())
        return {};

    DirectoryWork work;
    if (keepNodes)
        work.fileNodes.reserve(offsets.size());
    for (std::size_t index = 0; index < offsets.size(); ++index) {
        if (stop())
            return {};
        const char* name = names.data() + offsets[index];
        const std::size_t nameLength = std::strlen(name);
        const std::string_view nameView(name, nameLength);

        if (ctx.hook)
            ctx.call(folder.link->pathOf(nameView), "stat");
        if (stop())
            return {};
        // A folder may be the root of another mount, a share among them: the first query must not wait
        // for that file system (the cached answer tells its type and whether it is a mount root without
        // asking it). Local file systems answer the same either way; a folder needs nothing else.
        constexpr unsigned mask = STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_INO | STATX_SIZE | STATX_BLOCKS;
        const unsigned char type = types[index];
        const bool maybeFolder = type == DT_DIR || type == DT_UNKNOWN;
        struct statx st {};
        bool statted = ::statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | (maybeFolder ? AT_STATX_DONT_SYNC : 0),
                               mask, &st) == 0;
        if (statted && maybeFolder && (st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
            (st.stx_attributes & STATX_ATTR_MOUNT_ROOT))
            continue; // another volume, or a bind mount of a folder of the same disk, is mounted here
        if (statted && type == DT_UNKNOWN && !S_ISDIR(st.stx_mode)) // sizes are asked for afresh
            statted = ::statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &st) == 0;
        if (stop())
            return {};
        if (!statted)
            continue; // vanished or unreadable entries are neither counted nor reported

        const auto entryDevice = static_cast<std::uint64_t>(makedev(st.stx_dev_major, st.stx_dev_minor));
        if (S_ISDIR(st.stx_mode)) {
            // Another volume, or a bind mount of a folder of the same disk, is mounted here.
            if (st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) {
                if (st.stx_attributes & STATX_ATTR_MOUNT_ROOT)
                    continue;
            } else if (entryDevice != device && platform::isMountPoint(folder.link->pathOf(nameView))) {
                continue;
            }
            std::string subName(nameView);
            const bool folded = ctx.options.foldDirectoryNames.count(subName) != 0 &&
                                (ctx.options.unfoldedDirectoryPaths.empty() ||
                                 ctx.options.unfoldedDirectoryPaths.count(folder.link->pathOf(nameView)) == 0);
            work.subdirs.push_back({std::move(subName), folded, entryDevice, st.stx_ino});
            continue;
        }

        const std::int64_t size = entrySize(st);
        work.localBytes += size;
        work.fileCount += 1;
        const bool hardLinked = !S_ISLNK(st.stx_mode) && st.stx_nlink > 1;
        if (hardLinked)
            work.hardLinks.push_back({static_cast<std::uint32_t>(entryDevice), st.stx_ino, size,
                                      keepNodes ? static_cast<std::int64_t>(work.fileNodes.size()) : -1});
        if (!keepNodes)
            continue;
        work.fileNodes.push_back(ScanNode{
            FileEntry::inFolder(folder.link, std::string(nameView), size, false, ScanState::complete,
                                hardLinked ? static_cast<std::uint32_t>(st.stx_nlink) : 1u),
            std::nullopt});
    }
    if (!work.subdirs.empty() && !stop())
        work.openFolder = holdOpen(ctx, std::move(opened), folder.above ? folder.hops + 1 : farHops);
    return work;
}

// A folder whose subfolders are still being read. Children fill pre-sized slots after the files in
// the order they finish; the last one to report completes the folder.
struct PendingFolder {
    ScanNode node;
    std::size_t firstSlot = 0;
    std::atomic<std::size_t> nextSlot{0};
    std::atomic<std::size_t> remaining{0};
    std::atomic<std::int64_t> childBytes{0};
    std::int64_t localBytes = 0;
    bool folded = false;
    std::shared_ptr<PendingFolder> parent;
};

class Walker {
public:
    explicit Walker(std::shared_ptr<ScanContext> ctx) : m_ctx(std::move(ctx)) {}

    // Reads folder (the root at depth 0, else an entry of the listing above) and assembles its node.
    void readFolder(FolderToRead folder, int depth, bool collectLargeFiles,
                    std::shared_ptr<PendingFolder> parent) const {
        // Shared by the read and its continuation, which may run at the same time (an answer from the
        // deadline while the read is stuck): neither changes it.
        auto listed = std::make_shared<const FolderToRead>(std::move(folder));
        m_ctx->pool.run(
            [ctx = m_ctx, listed, collectLargeFiles, root = depth == 0](const StopCheck& stop) {
                return brisklet::readFolder(*ctx, *listed, collectLargeFiles, root, stop);
            },
            [walker = *this, listed, depth, collectLargeFiles, parent = std::move(parent)](DirectoryWork&& work) mutable {
                try {
                    walker.folderRead(*listed, depth, collectLargeFiles, std::move(parent), std::move(work));
                } catch (...) {
                    // Out of memory while assembling: the scan fails as a whole rather than hang.
                    walker.m_ctx->fail(std::current_exception());
                }
            });
    }

private:
    void folderRead(const FolderToRead& folder, int depth, bool collectLargeFiles,
                    std::shared_ptr<PendingFolder> parent, DirectoryWork&& work) const {
        ScanContext& ctx = *m_ctx;
        const bool answeredByStop = ctx.cancelled.load() && !work.unreadable && !work.rootUnavailable &&
                                    work.fileCount == 0 && work.subdirs.empty();
        if (answeredByStop) {
            // Not read (or read empty just as the stop came): a folder the stopped scan does not know.
            deliver(ScanNode{FileEntry::at(folder.link, depth == 0 ? displayName(folder.link->component())
                                                                   : folder.link->component(),
                                           0, true, ScanState::unavailable),
                             std::nullopt},
                    std::move(parent));
            return;
        }
        if (work.rootUnavailable) {
            ctx.finishScan(std::nullopt, folder.link->path());
            return;
        }
        std::string name = depth == 0 ? displayName(folder.link->component()) : folder.link->component();
        if (work.unreadable) {
            if (work.timedOut)
                ctx.stats->addTimedOutDirectory();
            else
                ctx.stats->addPermissionDenial();
            deliver(ScanNode{FileEntry::at(folder.link, std::move(name), 0, true, ScanState::unavailable),
                             std::nullopt},
                    std::move(parent));
            return;
        }
        if (depth == 0 && folder.link->component() == "/" && !ctx.options.rootSkipNames.empty()) {
            std::erase_if(work.subdirs, [&](const DirectoryWork::Subdir& sub) {
                return ctx.options.rootSkipNames.count(sub.name) != 0;
            });
        }
        takeIn(work, collectLargeFiles);
        ctx.stats->addDirectory(work.fileCount, work.localBytes, folder.link);

        auto pending = std::make_shared<PendingFolder>();
        pending->firstSlot = work.fileNodes.size();
        pending->localBytes = work.localBytes;
        pending->folded = folder.folded;
        pending->parent = std::move(parent);
        pending->node = ScanNode{FileEntry::at(folder.link, std::move(name), 0, true, ScanState::complete),
                                 std::nullopt};
        // Folded folders and everything below them keep no children (the same folders where large
        // files are not collected).
        if (collectLargeFiles) {
            std::vector<ScanNode> children = std::move(work.fileNodes);
            children.resize(children.size() + work.subdirs.size());
            pending->node.children = std::move(children);
        }
        if (work.subdirs.empty()) {
            complete(std::move(pending));
            return;
        }
        // Subfolders open from this folder while it is held open, else from the nearest one above.
        std::shared_ptr<const OpenFolder> above = work.openFolder ? work.openFolder : folder.above;
        const int hops = work.openFolder ? 1 : folder.hops + 1;
        work.openFolder.reset();
        pending->remaining.store(work.subdirs.size());
        // After a stop each read is answered at once, unread, so the folder still completes.
        for (DirectoryWork::Subdir& sub : work.subdirs) {
            const bool collectBelow = collectLargeFiles && !sub.folded;
            readFolder({std::make_shared<const PathLink>(folder.link, std::move(sub.name)), sub.folded, sub.device,
                        sub.inode, above, hops},
                       depth + 1, collectBelow, pending);
        }
    }

    // The read's own answer is in: count each hard-linked file only at its first link in the scan, and
    // offer the large files.
    void takeIn(DirectoryWork& work, bool collectLargeFiles) const {
        ScanContext& ctx = *m_ctx;
        for (const DirectoryWork::HardLink& link : work.hardLinks) {
            if (ctx.inodes.insert({link.device, link.inode}))
                continue;
            work.localBytes -= link.size;
            if (link.node >= 0) {
                FileEntry& entry = work.fileNodes[static_cast<std::size_t>(link.node)].entry;
                entry.sizeBytes = 0;
                entry.linkedSizeBytes = link.size;
            }
        }
        if (!collectLargeFiles)
            return;
        for (const ScanNode& leaf : work.fileNodes)
            if (leaf.entry.sizeBytes >= ctx.large.threshold())
                ctx.large.offer(leaf.entry);
    }

    // Hands a finished node to its parent's slot, completing ancestors whose last child this was.
    void deliver(ScanNode node, std::shared_ptr<PendingFolder> parent) const {
        while (parent) {
            const std::int64_t size = node.entry.isDirectory ? std::max<std::int64_t>(node.entry.sizeBytes, 0) : 0;
            if (parent->node.children) {
                const std::size_t slot = parent->firstSlot + parent->nextSlot.fetch_add(1);
                (*parent->node.children)[slot] = std::move(node);
            }
            parent->childBytes.fetch_add(size);
            if (parent->remaining.fetch_sub(1, std::memory_order_acq_rel) != 1)
                return;
            node = seal(*parent);
            parent = std::move(parent->parent);
        }
        m_ctx->finishScan(std::move(node), std::nullopt);
    }

    void complete(std::shared_ptr<PendingFolder> folder) const {
        ScanNode node = seal(*folder);
        deliver(std::move(node), std::move(folder->parent));
    }

    static ScanNode seal(PendingFolder& folder) {
        ScanNode node = std::move(folder.node);
        node.entry.sizeBytes = folder.localBytes + folder.childBytes.load();
        if (folder.folded)
            node.children.reset();
        return node;
    }

    std::shared_ptr<ScanContext> m_ctx;
};

} // namespace

ScanResult DiskScanner::scan(const std::string& root, const std::shared_ptr<ScanStats>& stats,
                             std::stop_token stop) const {
    if (stop.stop_requested())
        throw Cancelled();
    // The system reads a path only up to a NUL: such a root names some other folder (and every entry
    // path built below it would name that folder again, without end).
    if (root.find('\0') != std::string::npos)
        throw ScanError(root);
    const auto ctx = std::make_shared<ScanContext>(m_options, m_beforeCall, stats ? stats : std::make_shared<ScanStats>());
    // However this call ends, the pool is shut down: queued reads and armed deadlines hold the context,
    // which holds the pool, and only that breaks the cycle.
    struct ShutDown {
        ScanContext& ctx;
        ~ShutDown() {
            ctx.cancel();
            ctx.pool.shutdown();
        }
    } shutDown{*ctx};
    std::stop_callback onStop(stop, [&ctx] { ctx->requestStop(); });

    // Entry paths are the folder's path, "/" and the name: a trailing slash would double.
    FolderToRead top;
    top.link = std::make_shared<const PathLink>(nullptr, platform::withoutTrailingSlashes(root));
    Walker(ctx).readFolder(std::move(top), 0, true, nullptr);
    bool stopped = false;
    bool finished = false;
    {
        std::unique_lock lock(ctx->doneLock);
        ctx->doneSignal.wait(lock, [&] { return ctx->done || ctx->stopRequested; });
        stopped = ctx->stopRequested;
        finished = ctx->done;
    }
    if (!finished) {
        ctx->cancel();
        std::unique_lock lock(ctx->doneLock);
        ctx->doneSignal.wait(lock, [&] { return ctx->done; });
    }
    // Drops queued reads and deadlines; a read stuck in the file system finishes on its own thread.
    ctx->pool.shutdown();
    if (ctx->failure)
        std::rethrow_exception(ctx->failure);
    stopped = stopped || ctx->cancelled.load() || stop.stop_requested();
    if (stopped && !ctx->root)
        throw Cancelled();
    if (ctx->unavailableRoot)
        throw ScanError(*ctx->unavailableRoot);

    const ScanProgress progress = ctx->stats->snapshot();
    auto result = std::make_shared<ScanResult>(
        ScanResult{std::move(*ctx->root), ctx->large.sortedItems(),
                   ScanTotals{progress.files, progress.directories, progress.bytes},
                   stopped || progress.permissionDenials > 0 || progress.timedOutDirectories > 0 ? ScanState::partial
                                                                                                 : ScanState::complete});
    if (stopped || stop.stop_requested())
        throw Stopped(std::move(result));
    return std::move(*result);
}

std::int64_t DiskScanner::sizeOfItem(const std::string& path, std::stop_token stop) const {
    struct statx st {};
    if (path.find('\0') != std::string::npos ||
        ::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_BLOCKS, &st) != 0)
        return 0;
    if (!S_ISDIR(st.stx_mode))
        return entrySize(st);
    try {
        return scan(path, std::make_shared<ScanStats>(), std::move(stop)).root.entry.sizeBytes;
    } catch (const ScanError&) {
        return 0; // it went away meanwhile
    }
}

} // namespace brisklet
