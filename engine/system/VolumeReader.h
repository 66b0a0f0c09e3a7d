// Mounted volumes a user recognises as disks: the root file system, then what is mounted under the
// external-volume folders (/media/$USER, /run/media/$USER, /mnt, /Volumes), each with its capacity.
//
// Never fails: a volume that cannot be queried, has no capacity or is an automounter map is left out.
// Every decision is written to the system log with the "[Brisklet.Volumes]" prefix. Calls block on
// file-system queries, so callers run them off the interface thread.
#pragma once

#include "platform/Export.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace brisklet {

struct BRISKLET_ENGINE_EXPORT VolumeInfo {
    std::string id; // the path the volume was queried at
    std::string name;
    std::string mountPoint;
    std::int64_t totalBytes = 0;
    std::int64_t freeBytes = 0; // available to an ordinary user
    bool isInternal = true;
    bool isRoot = false;

    std::int64_t usedBytes() const { return totalBytes - freeBytes; }
    // 0 without capacity; otherwise clamped to 0..1.
    double usedFraction() const;
    bool operator==(const VolumeInfo&) const = default;
};

namespace VolumeReader {

// Where the reader looks. Tests give another mount table and a root folder under which the table's
// paths, /dev/disk/by-label and /sys/class/block are read.
struct Source {
    std::string mountTable = "/proc/self/mountinfo"; // mountinfo or fstab format
    std::string rootFolder = "/";
    std::string userName;                             // empty: the current user
    std::function<void(const std::string&)> log;      // empty: the system log
};

BRISKLET_ENGINE_EXPORT std::vector<VolumeInfo> mountedVolumes();
std::vector<VolumeInfo> mountedVolumes(const Source& source);

std::optional<VolumeInfo> volume(const std::string& path);
std::optional<VolumeInfo> volume(const std::string& path, const Source& source);

} // namespace VolumeReader

} // namespace brisklet

template <>
struct std::hash<brisklet::VolumeInfo> {
    std::size_t operator()(const brisklet::VolumeInfo& volume) const noexcept;
};
