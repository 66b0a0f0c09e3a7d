// File services of the platform: well-known folders and the small file queries the engine uses.
//
// Paths are the file system's bytes (std::string), never re-encoded. None of these throw.
#pragma once

#include "platform/Export.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brisklet::platform {

// $HOME, else the user database entry; used unresolved.
BRISKLET_ENGINE_EXPORT std::string homeDirectory();
// $TMPDIR when set and non-empty, else "/tmp".
BRISKLET_ENGINE_EXPORT std::string temporaryDirectory();
// $XDG_DATA_HOME when absolute, else ~/.local/share. Not created.
std::string applicationSupportDirectory();
// $XDG_STATE_HOME when absolute, else ~/.local/state: logs and history. Not created.
std::string stateDirectory();

// The XDG base folders of the user whose home is home. For the current user's home (homeDirectory())
// each variable counts when it holds an absolute path; otherwise, and for any other home (a throw-away
// one), the folders are the defaults under home. Not created.
struct XdgFolders {
    std::string config; // $XDG_CONFIG_HOME, else ~/.config
    std::string cache;  // $XDG_CACHE_HOME, else ~/.cache
    std::string data;   // $XDG_DATA_HOME, else ~/.local/share
    std::string state;  // $XDG_STATE_HOME, else ~/.local/state
};
XdgFolders xdgFolders(const std::string& home);
// home joined with relative, except that a place inside a default XDG folder (".cache/pip") lies in
// that folder wherever the environment puts it.
std::string homePlace(const std::string& home, const std::string& relative);
// The XDG user folders of the user whose home is home, as user-dirs.dirs in its config folder (see
// xdgFolders) assigns them, in file order: {"DOCUMENTS", "/home/me/Dokumente"} for
// XDG_DOCUMENTS_DIR="$HOME/Dokumente". Read as xdg-user-dirs does: a double-quoted value, "$HOME" or
// "$HOME/..." relative to home, or absolute; a backslash takes the next byte as it is. Other lines,
// relative values, values holding a NUL and values naming "/" are left out. Bytes are kept as they
// are; the path is cleaned up lexically. None when the file is missing, not a regular file or large.
std::vector<std::pair<std::string, std::string>> userDirectories(const std::string& home);
// The last assignment of the user folder name, else home joined with fallback. One that names home
// itself (how a folder is turned off) counts as none.
std::string userDirectory(const std::string& home, std::string_view name, const std::string& fallback);
// userDirectory(homeDirectory(), "DOWNLOAD", "Downloads"). Not created.
BRISKLET_ENGINE_EXPORT std::string downloadsDirectory();

// True only for an existing folder, symbolic links followed.
BRISKLET_ENGINE_EXPORT bool existsAndIsFolder(const std::string& path);
// True when something exists at path, a symbolic link in the last component followed
// (a dangling link counts as absent).
BRISKLET_ENGINE_EXPORT bool exists(const std::string& path);
// Creates path with intermediate folders; succeeds when it already exists as a folder.
BRISKLET_ENGINE_EXPORT bool createDirectories(const std::string& path, unsigned mode = 0755);

// The whole contents of a file, or nothing when it cannot be read.
BRISKLET_ENGINE_EXPORT std::optional<std::string> readFileContents(const std::string& path);
// The contents of the regular file at path (symbolic links followed), or nothing when it is larger than
// maximumBytes or cannot be read. Opened without blocking: a FIFO or device in its place is refused at once.
BRISKLET_ENGINE_EXPORT std::optional<std::string> readRegularFile(const std::string& path, std::uint64_t maximumBytes);
// The same for name in the folder open at folder.
std::optional<std::string> readRegularFileAt(int folder, const std::string& name, std::uint64_t maximumBytes);

// The names of a folder's entries ("." and ".." left out) in byte order; none when it cannot be listed.
BRISKLET_ENGINE_EXPORT std::vector<std::string> sortedEntryNames(const std::string& folder);

// True when path is exactly the root of the file system that holds it (statx STATX_ATTR_MOUNT_ROOT).
// False when the path cannot be queried. A symbolic link is not followed.
bool isMountPoint(const std::string& path);
// The same for an open folder: true or false, nothing when the kernel cannot tell (before 5.8).
std::optional<bool> isMountRoot(int fd);
// Mount points strictly below folder (absolute, links resolved), in the order of this process's mount
// table (/proc/self/mountinfo, bind mounts included). Only the table is read: nothing is asked of the
// mounted file systems, so a share that stopped answering cannot hold the caller. Empty when the table
// cannot be read.
std::vector<std::string> mountPointsBelow(const std::string& folder,
                                          const std::string& mountTable = "/proc/self/mountinfo");

// The last path component, with trailing slashes ignored; "" for "/".
std::string lastPathComponent(const std::string& path);
// The folder part of path ("/" for "/a", "" when there is no slash).
BRISKLET_ENGINE_EXPORT std::string parentPath(const std::string& path);
// Writes all of data to fd, retrying short and interrupted writes. False on failure, errno says why.
bool writeAll(int fd, std::string_view data);

// path without trailing slashes; "/" stays "/".
BRISKLET_ENGINE_EXPORT std::string withoutTrailingSlashes(std::string path);
// Joins a folder and a name with exactly one slash.
BRISKLET_ENGINE_EXPORT std::string joinPath(const std::string& folder, const std::string& name);

} // namespace brisklet::platform
