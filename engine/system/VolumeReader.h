// Mounted volumes a user recognises as disks: the root file system, then what is mounted under the
// external-volume folders (/media/$USER, /run/media/$USER, /mnt, /Volumes), each with its capacity.
//
// Never fails: a volume that cannot be queried, has no capacity or is an automounter map is left out.
// Every decision is written to the system log with the "[Brisklet.Volumes]" prefix. The table is
// filtered before any volume is asked anything; then every remaining volume is measured on a thread of
// its own, and one that does not answer in time (a share whose server went away) is reported as
// unavailable. Its thread is left waiting, one per mount point at most: a later listing waits on the
// same query instead of starting another. Calls still take up to that time-out, so callers run them
// off the interface thread.
#pragma once

#include "platform/Export.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
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
    // It did not answer in time (a share whose server went away): the sizes are unknown and read 0.
    bool unavailable = false;

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
    std::chrono::milliseconds answerTime{5000};       // how long all volumes together may take to answer
};

// A stop request only shortens the wait: volumes that have not answered yet are left out.
BRISKLET_ENGINE_EXPORT std::vector<VolumeInfo> mountedVolumes(std::stop_token stop = {});
std::vector<VolumeInfo> mountedVolumes(const Source& source, std::stop_token stop = {});

std::optional<VolumeInfo> volume(const std::string& path);
std::optional<VolumeInfo> volume(const std::string& path, const Source& source);

} // namespace VolumeReader

} // namespace brisklet

template <>
struct std::hash<brisklet::VolumeInfo> {
    std::size_t operator()(const brisklet::VolumeInfo& volume) const noexcept;
};
