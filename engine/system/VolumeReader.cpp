#include "VolumeReader.h"

#include "TextFields.h"
#include "platform/FileServices.h"
#include "platform/HostProfile.h"
#include "platform/SystemLog.h"

#include <algorithm>
#include <array>
#include <blkid.h>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <libmount.h>
#include <pwd.h>
#include <set>
#include <sys/statvfs.h>
#include <unistd.h>

namespace brisklet {

double VolumeInfo::usedFraction() const {
    if (totalBytes < 1)
        return 0.0;
    return std::clamp(double(totalBytes - freeBytes) / double(totalBytes), 0.0, 1.0);
}

namespace VolumeReader {

namespace {

// File systems that live in memory or are assembled from others: no disk a user would recognise.
bool isVirtualFileSystem(const std::string& type) {
    static const std::set<std::string> types{
        "tmpfs",  "ramfs",      "devtmpfs", "overlay",  "squashfs",    "proc",      "sysfs",    "devpts",
        "cgroup", "cgroup2",    "debugfs",  "tracefs",  "securityfs",  "configfs",  "fusectl",  "mqueue",
        "pstore", "hugetlbfs",  "bpf",      "efivarfs", "binfmt_misc", "nsfs",      "rpc_pipefs", "fuse.lxcfs",
        "fuse.gvfsd-fuse", "fuse.portal"};
    return types.count(type) != 0;
}

struct Mount {
    std::string target;
    std::string source;
    std::string fsType;
};

struct Table {
    std::vector<Mount> mounts; // in table order; a later mount on the same target hides earlier ones
    int error = 0;             // errno when the table could not be read

    // The visible mount at exactly path, else the one whose target contains path.
    const Mount* find(const std::string& path) const {
        const Mount* best = nullptr;
        for (const Mount& mount : mounts) {
            const std::string& t = mount.target;
            const bool contains = t == path || t == "/" ||
                                  (path.size() > t.size() && path.starts_with(t) && path[t.size()] == '/');
            if (contains && (!best || t.size() >= best->target.size()))
                best = &mount;
        }
        return best;
    }
};

Table readTable(const std::string& path) {
    Table table;
    libmnt_table* tb = mnt_new_table();
    if (!tb) {
        table.error = ENOMEM;
        return table;
    }
    const int rc = mnt_table_parse_file(tb, path.c_str());
    if (rc != 0) {
        table.error = rc < 0 ? -rc : EINVAL;
    } else {
        libmnt_iter* iter = mnt_new_iter(MNT_ITER_FORWARD);
        libmnt_fs* fs = nullptr;
        while (iter && mnt_table_next_fs(tb, iter, &fs) == 0) {
            const char* target = mnt_fs_get_target(fs);
            if (!target)
                continue;
            const char* source = mnt_fs_get_source(fs);
            const char* type = mnt_fs_get_fstype(fs);
            table.mounts.push_back({target, source ? source : "", type ? type : ""});
        }
        mnt_free_iter(iter);
    }
    mnt_unref_table(tb);
    return table;
}

class Reader {
public:
    explicit Reader(const Source& source) : m_source(source) {}

    void log(const std::string& line) const {
        if (m_source.log)
            m_source.log(line);
        else
            systemLogDebug(line);
    }

    // The table's path as found under the root folder.
    std::string physical(const std::string& path) const {
        if (m_source.rootFolder.empty() || m_source.rootFolder == "/")
            return path;
        return path == "/" ? m_source.rootFolder : platform::joinPath(m_source.rootFolder, path.substr(1));
    }

    // All symbolic links resolved, seen from the root folder; the path itself when it cannot be resolved.
    std::string resolved(const std::string& path) const {
        char buffer[PATH_MAX];
        if (!realpath(physical(path).c_str(), buffer))
            return path;
        const std::string real(buffer);
        const std::string& root = m_source.rootFolder;
        if (root.empty() || root == "/")
            return real;
        char rootBuffer[PATH_MAX];
        const std::string realRoot = realpath(root.c_str(), rootBuffer) ? rootBuffer : root;
        if (real == realRoot)
            return "/";
        if (real.starts_with(realRoot + "/"))
            return real.substr(realRoot.size());
        return real; // a link out of the root folder
    }

    std::optional<VolumeInfo> volume(const std::string& path, const Table& table) const {
        const Mount* mount = table.find(path);
        // An automounter map is no volume, and querying it could trigger a mount.
        if (mount && mount->fsType == "autofs")
            return std::nullopt;
        struct statvfs info {};
        if (statvfs(physical(path).c_str(), &info) != 0)
            return std::nullopt;
        const std::uint64_t unit = info.f_frsize ? info.f_frsize : info.f_bsize;
        VolumeInfo volume;
        volume.id = path;
        volume.mountPoint = path;
        volume.totalBytes = clampedProduct(info.f_blocks, unit);
        volume.freeBytes = clampedProduct(info.f_bavail, unit);
        volume.isRoot = path == "/";
        std::optional<std::string> label = mount ? labelOf(*mount) : std::nullopt;
        if (label && !label->empty())
            volume.name = *label;
        else
            volume.name = path == "/" ? hostProfile().rootDisplayName : platform::lastPathComponent(path);
        volume.isInternal = isInternal(mount, path);
        return volume;
    }

    std::vector<std::string> externalPrefixes() const {
        std::string user = m_source.userName;
        if (user.empty())
            if (const char* env = std::getenv("USER"); env && *env)
                user = env;
        if (user.empty())
            if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name)
                user = entry->pw_name;
        std::vector<std::string> prefixes{"/mnt/", "/Volumes/"};
        if (!user.empty() && user.find('/') == std::string::npos) {
            prefixes.push_back("/media/" + user + "/");
            prefixes.push_back("/run/media/" + user + "/");
        }
        return prefixes;
    }

private:
    static std::int64_t clampedProduct(std::uint64_t count, std::uint64_t unit) {
        if (unit != 0 && count > std::uint64_t(INT64_MAX) / unit)
            return INT64_MAX;
        return std::int64_t(count * unit);
    }

    bool realRoot() const { return m_source.rootFolder.empty() || m_source.rootFolder == "/"; }

    // udev writes unsafe characters of a label as \xNN.
    static std::string decodeUdevName(std::string_view name) {
        std::string result;
        for (size_t i = 0; i < name.size(); ++i) {
            if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && std::isxdigit(name[i + 2]) &&
                std::isxdigit(name[i + 3])) {
                result.push_back(char(std::stoi(std::string(name.substr(i + 2, 2)), nullptr, 16)));
                i += 3;
            } else {
                result.push_back(name[i]);
            }
        }
        return result;
    }

    std::optional<std::string> labelOf(const Mount& mount) const {
        if (!mount.source.starts_with("/"))
            return std::nullopt;
        char buffer[PATH_MAX];
        const std::string device = realpath(physical(mount.source).c_str(), buffer) ? buffer : "";
        if (device.empty())
            return std::nullopt;
        const std::string labels = physical("/dev/disk/by-label");
        if (DIR* dir = opendir(labels.c_str())) {
            std::optional<std::string> found;
            while (const dirent* entry = readdir(dir)) {
                if (entry->d_name[0] == '.')
                    continue;
                char target[PATH_MAX];
                if (realpath(platform::joinPath(labels, entry->d_name).c_str(), target) && device == target) {
                    found = decodeUdevName(entry->d_name);
                    break;
                }
            }
            closedir(dir);
            if (found)
                return found;
        }
        // Without udev's links, read the label from the file system itself (needs read access).
        if (!realRoot())
            return std::nullopt;
        std::optional<std::string> label;
        if (blkid_probe probe = blkid_new_probe_from_filename(device.c_str())) {
            blkid_probe_enable_superblocks(probe, 1);
            blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL);
            const char* value = nullptr;
            if (blkid_do_safeprobe(probe) == 0 && blkid_probe_lookup_value(probe, "LABEL", &value, nullptr) == 0 &&
                value)
                label = value;
            blkid_free_probe(probe);
        }
        return label;
    }

    static std::optional<std::string> readFirstLine(const std::string& path) {
        std::ifstream in(path);
        std::string line;
        if (!in || !std::getline(in, line))
            return std::nullopt;
        return std::string(text::trimWhitespace(line));
    }

    // Removable or USB block devices are external; so are network shares. Other sources report no
    // value and count as internal; a device the kernel does not describe counts as internal only for "/".
    bool isInternal(const Mount* mount, const std::string& path) const {
        static const std::set<std::string> networkTypes{"nfs",  "nfs4", "cifs",   "smb3",       "smbfs",
                                                        "9p",   "ceph", "afs",    "glusterfs",  "davfs",
                                                        "fuse.sshfs", "fuse.rclone", "fuse.s3fs"};
        if (!mount)
            return true;
        if (networkTypes.contains(mount->fsType))
            return false;
        if (!mount->source.starts_with("/dev/"))
            return true;
        char buffer[PATH_MAX];
        const std::string device = realpath(physical(mount->source).c_str(), buffer)
                                       ? platform::lastPathComponent(buffer)
                                       : platform::lastPathComponent(mount->source);
        const std::string entry = physical("/sys/class/block/" + device);
        if (device.empty() || !platform::exists(entry))
            return path == "/";
        char real[PATH_MAX];
        const std::string sysPath = realpath(entry.c_str(), real) ? real : entry;
        if (sysPath.find("/usb") != std::string::npos)
            return false;
        // A partition has no "removable" of its own; its disk, one folder up, has.
        auto removable = readFirstLine(entry + "/removable");
        if (!removable)
            removable = readFirstLine(platform::parentPath(sysPath) + "/removable");
        return removable != std::optional<std::string>("1");
    }

    const Source& m_source;
};

std::string joined(const std::vector<VolumeInfo>& volumes) {
    std::string text;
    for (const VolumeInfo& volume : volumes)
        text += (text.empty() ? "" : ", ") + volume.mountPoint;
    return text;
}

} // namespace

std::vector<VolumeInfo> mountedVolumes() { return mountedVolumes(Source{}); }

std::vector<VolumeInfo> mountedVolumes(const Source& source) {
    const Reader reader(source);
    const Table table = readTable(source.mountTable);
    std::vector<VolumeInfo> result;
    std::set<std::string> seen;
    if (auto root = reader.volume("/", table); root && root->totalBytes >= 1) {
        result.push_back(std::move(*root));
        seen.insert("/");
    }
    if (table.error != 0) {
        reader.log("[Brisklet.Volumes] Cannot enumerate " + source.mountTable + ": " + std::strerror(table.error));
        return result;
    }

    // Each mount point once (the table lists over-mounted points again), ordered by name, then path.
    const std::vector<std::string> prefixes = reader.externalPrefixes();
    std::set<std::string> unique;
    // Only the folders' direct children: what is mounted deeper is part of something else (a tmpfs
    // inside a disk's tree, a loop mount of an image kept there).
    for (const Mount& mount : table.mounts)
        for (const std::string& prefix : prefixes)
            if (mount.target.size() > prefix.size() && mount.target.starts_with(prefix) &&
                mount.target.find('/', prefix.size()) == std::string::npos)
                unique.insert(mount.target);
    std::vector<std::string> candidates(unique.begin(), unique.end());
    std::stable_sort(candidates.begin(), candidates.end(), [](const std::string& a, const std::string& b) {
        const std::string nameA = platform::lastPathComponent(a), nameB = platform::lastPathComponent(b);
        return nameA != nameB ? nameA < nameB : a < b;
    });

    for (const std::string& path : candidates) {
        const std::string name = platform::lastPathComponent(path);
        if (name.starts_with(".") || name == "Recovery") {
            reader.log("[Brisklet.Volumes] Skip hidden/system entry: " + name);
            continue;
        }
        if (const Mount* mount = table.find(path); mount && isVirtualFileSystem(mount->fsType)) {
            reader.log("[Brisklet.Volumes] Skip virtual file system: " + path + " (" + mount->fsType + ")");
            continue;
        }
        const std::string resolved = reader.resolved(path);
        if (!seen.insert(resolved).second) {
            reader.log("[Brisklet.Volumes] Skip duplicate: " + path + " -> " + resolved);
            continue;
        }
        auto volume = reader.volume(path, table);
        if (volume && volume->totalBytes >= 1) {
            reader.log("[Brisklet.Volumes] Include " + volume->name + " at " + path + " (" +
                       std::to_string(volume->totalBytes) + " bytes)");
            result.push_back(std::move(*volume));
        } else {
            reader.log("[Brisklet.Volumes] Skip unavailable/zero-capacity volume: " + path);
        }
    }
    reader.log("[Brisklet.Volumes] Returning: " + joined(result));
    return result;
}

std::optional<VolumeInfo> volume(const std::string& path) { return volume(path, Source{}); }

std::optional<VolumeInfo> volume(const std::string& path, const Source& source) {
    return Reader(source).volume(path, readTable(source.mountTable));
}

} // namespace VolumeReader

} // namespace brisklet

std::size_t std::hash<brisklet::VolumeInfo>::operator()(const brisklet::VolumeInfo& volume) const noexcept {
    std::size_t seed = 0;
    const auto mix = [&seed](std::size_t value) { seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2); };
    mix(std::hash<std::string>()(volume.id));
    mix(std::hash<std::string>()(volume.name));
    mix(std::hash<std::string>()(volume.mountPoint));
    mix(std::hash<std::int64_t>()(volume.totalBytes));
    mix(std::hash<std::int64_t>()(volume.freeBytes));
    mix(volume.isInternal);
    mix(volume.isRoot);
    return seed;
}
