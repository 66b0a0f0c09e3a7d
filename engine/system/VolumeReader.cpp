#include "VolumeReader.h"

#include "platform/TextFields.h"
#include "platform/DirectoryStream.h"
#include "platform/FileServices.h"
#include "platform/HostProfile.h"
#include "platform/SystemLog.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <blkid.h>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <libmount.h>
#include <pwd.h>
#include <set>
#include <stop_token>
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
        if (platform::DirectoryStream dir(labels); dir) {
            while (const char* name = dir.next()) {
                char target[PATH_MAX];
                if (name[0] != '.' && realpath(platform::joinPath(labels, name).c_str(), target) && device == target)
                    return decodeUdevName(name);
            }
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

// What one volume answered: its path with links resolved, and its figures (nothing when it could not
// be queried).
struct Answer {
    std::string resolved;
    std::optional<VolumeInfo> volume;
};

// One volume's query on a thread of its own, which is left behind if the volume never answers.
struct Measurement {
    std::mutex lock;
    std::condition_variable_any answered;
    std::optional<Answer> answer;
};

// The queries still waiting for their volume, by where they look. Never destroyed: a thread stuck in a
// share may outlive every static object of the process.
std::mutex& waitingLock() {
    static auto* lock = new std::mutex;
    return *lock;
}
std::map<std::string, std::shared_ptr<Measurement>>& waiting() {
    static auto* queries = new std::map<std::string, std::shared_ptr<Measurement>>;
    return *queries;
}

// The query of path, started now unless one from an earlier listing is still waiting for it.
std::shared_ptr<Measurement> measure(const Source& given, const Table& table, const std::string& path) {
    auto source = std::make_shared<Source>(given);
    source->log = {}; // the caller logs; the caller's logger may be gone when a late answer comes
    auto mount = std::make_shared<Table>();
    if (const Mount* found = table.find(path))
        mount->mounts.push_back(*found);
    const auto query = [source, mount, path] {
        const Reader reader(*source);
        return Answer{path == "/" ? path : reader.resolved(path), reader.volume(path, *mount)};
    };

    const std::string key = source->rootFolder + '\0' + path;
    auto measurement = std::make_shared<Measurement>();
    {
        std::lock_guard lock(waitingLock());
        const auto [entry, added] = waiting().emplace(key, measurement);
        if (!added)
            return entry->second;
    }
    const auto finish = [key](const std::shared_ptr<Measurement>& done, Answer answer) {
        {
            std::lock_guard lock(done->lock);
            done->answer = std::move(answer);
        }
        done->answered.notify_all();
        std::lock_guard lock(waitingLock());
        if (const auto entry = waiting().find(key); entry != waiting().end() && entry->second == done)
            waiting().erase(entry);
    };
    try {
        std::thread([measurement, query, finish] {
            Answer answer;
            try {
                answer = query();
            } catch (...) { // out of memory: the volume counts as unavailable
            }
            finish(measurement, std::move(answer));
        }).detach();
    } catch (const std::system_error&) {
        finish(measurement, query()); // no thread to be had: ask here
    }
    return measurement;
}

// The answer, or nothing when none came by the deadline or a stop was requested.
std::optional<Answer> answerBy(Measurement& measurement, std::chrono::steady_clock::time_point deadline,
                               std::stop_token stop) {
    std::unique_lock lock(measurement.lock);
    measurement.answered.wait_until(lock, stop, deadline, [&] { return measurement.answer.has_value(); });
    return measurement.answer;
}

std::string joined(const std::vector<VolumeInfo>& volumes) {
    std::string text;
    for (const VolumeInfo& volume : volumes)
        text += (text.empty() ? "" : ", ") + volume.mountPoint;
    return text;
}

} // namespace

std::vector<VolumeInfo> mountedVolumes(std::stop_token stop) { return mountedVolumes(Source{}, std::move(stop)); }

std::vector<VolumeInfo> mountedVolumes(const Source& source, std::stop_token stop) {
    const Reader reader(source);
    const Table table = readTable(source.mountTable);
    const auto deadline = std::chrono::steady_clock::now() + source.answerTime;
    const std::string unavailable = "[Brisklet.Volumes] Skip unavailable/zero-capacity volume: ";

    // First every decision the table alone makes; a skipped entry is never asked anything (an
    // automounter map would mount, a dead share would never answer).
    struct Candidate {
        std::string path;
        std::string skipped; // the log line when the table already decided
        std::shared_ptr<Measurement> measurement;
    };
    const auto isMap = [&table](const std::string& path) {
        const Mount* mount = table.find(path);
        return mount && mount->fsType == "autofs";
    };
    std::shared_ptr<Measurement> root = isMap("/") ? nullptr : measure(source, table, "/");

    std::vector<Candidate> candidates;
    if (table.error == 0) {
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
        for (const std::string& path : unique)
            candidates.push_back({path, {}, nullptr});
        std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
            const std::string nameA = platform::lastPathComponent(a.path), nameB = platform::lastPathComponent(b.path);
            return nameA != nameB ? nameA < nameB : a.path < b.path;
        });
        for (Candidate& candidate : candidates) {
            const std::string name = platform::lastPathComponent(candidate.path);
            if (name.starts_with(".") || name == "Recovery")
                candidate.skipped = "[Brisklet.Volumes] Skip hidden/system entry: " + name;
            else if (const Mount* mount = table.find(candidate.path); mount && isVirtualFileSystem(mount->fsType))
                candidate.skipped = "[Brisklet.Volumes] Skip virtual file system: " + candidate.path + " (" +
                                    mount->fsType + ")";
            else if (isMap(candidate.path))
                candidate.skipped = unavailable + candidate.path;
            else
                candidate.measurement = measure(source, table, candidate.path);
        }
    }

    std::vector<VolumeInfo> result;
    std::set<std::string> seen;
    if (const auto answer = root ? answerBy(*root, deadline, stop) : std::nullopt;
        answer && answer->volume && answer->volume->totalBytes >= 1) {
        result.push_back(*answer->volume);
        seen.insert("/");
    }
    if (table.error != 0) {
        reader.log("[Brisklet.Volumes] Cannot enumerate " + source.mountTable + ": " + std::strerror(table.error));
        return result;
    }
    for (const Candidate& candidate : candidates) {
        const std::string& path = candidate.path;
        if (!candidate.measurement) {
            reader.log(candidate.skipped);
            continue;
        }
        const std::optional<Answer> answer = answerBy(*candidate.measurement, deadline, stop);
        if (!answer && stop.stop_requested()) {
            reader.log("[Brisklet.Volumes] Skip unanswered volume (stopped): " + path);
            continue;
        }
        if (!answer) {
            // Listed by where it is mounted: resolving its path or reading its label could wait too.
            reader.log("[Brisklet.Volumes] Unavailable volume (no answer in time): " + path);
            if (seen.insert(path).second)
                result.push_back(VolumeInfo{.id = path, .name = platform::lastPathComponent(path), .mountPoint = path,
                                            .isInternal = false, .unavailable = true});
            continue;
        }
        if (!seen.insert(answer->resolved).second) {
            reader.log("[Brisklet.Volumes] Skip duplicate: " + path + " -> " + answer->resolved);
            continue;
        }
        const std::optional<VolumeInfo>& volume = answer->volume;
        if (volume && volume->totalBytes >= 1) {
            reader.log("[Brisklet.Volumes] Include " + volume->name + " at " + path + " (" +
                       std::to_string(volume->totalBytes) + " bytes)");
            result.push_back(*volume);
        } else {
            reader.log(unavailable + path);
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
    mix(volume.unavailable);
    return seed;
}
