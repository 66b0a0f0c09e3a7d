// PathValidator: the last gate before anything is moved to the Trash.
//
// Given a path and the current user's home folder, it either allows the deletion or names why the
// path must not be touched: relative paths, the root and every top-level entry, whole volumes (and on
// this host every mount point), everything inside the protected system trees, a short list of exact
// locations, folders that hold a mount point anywhere below them (the mounted files would go to the
// Trash, and emptying it would delete them), and paths that do not exist. Functions of their arguments,
// the host profile and the user's XDG settings (environment and user-dirs.dirs); safe on any thread,
// never throws.
#pragma once

#include "platform/Export.h"
#include "platform/HostProfile.h"

#include <optional>
#include <string>
#include <vector>

namespace brisklet::PathValidator {

// Why a path was refused. Two kinds carry the offending location.
struct Rejection {
    enum class Kind { protectedPrefix, protectedPath, notAbsolute, rootLevelPath, volumeRoot, nonexistent, holdsMount };

    Kind kind;
    std::string location; // the protected prefix or exact location, or the mount point held; else empty

    static Rejection protectedPrefix(std::string prefix) { return {Kind::protectedPrefix, std::move(prefix)}; }
    static Rejection protectedPath(std::string path) { return {Kind::protectedPath, std::move(path)}; }
    static Rejection notAbsolute() { return {Kind::notAbsolute, {}}; }
    static Rejection rootLevelPath() { return {Kind::rootLevelPath, {}}; }
    static Rejection volumeRoot() { return {Kind::volumeRoot, {}}; }
    static Rejection nonexistent() { return {Kind::nonexistent, {}}; }
    static Rejection holdsMount(std::string mountPoint) { return {Kind::holdsMount, std::move(mountPoint)}; }

    // The text shown to the user, verbatim.
    std::string description() const;

    bool operator==(const Rejection&) const = default;
};

// The protected trees in the order they are tested: the common eight, then the profile's own.
std::vector<std::string> blockedPrefixes(const HostProfile& profile = hostProfile());
// The exact protected locations for this home folder: the common seven, then the profile's own
// (a leading "~" stands for home), then, when the profile says so, the XDG folders where the
// environment and user-dirs.dirs put them, each once.
std::vector<std::string> blockedExact(const std::string& home, const HostProfile& profile = hostProfile());

// Nothing when path may be deleted, else why not. Mount points come from mountTable (a mountinfo file).
BRISKLET_ENGINE_EXPORT
std::optional<Rejection> deletionRejection(const std::string& path, const std::string& home,
                                           const HostProfile& profile = hostProfile(),
                                           const std::string& mountTable = "/proc/self/mountinfo");

} // namespace brisklet::PathValidator
