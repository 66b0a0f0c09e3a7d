// Moving and removing items, and the two ways of cleaning up a path: lexically and by resolution.
//
// The item operations return nothing on success and the failure's description otherwise; none throws.
// Paths are the file system's bytes; a symbolic link is moved or removed as itself, never through its
// target.
#pragma once

#include "platform/Export.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace brisklet::platform {

// Renames from to to, never replacing anything at to. Both must be on one mounted file system.
std::optional<std::string> moveItem(const std::string& from, const std::string& to);
// The same for the entry name of the folder open at folder.
std::optional<std::string> moveItemAt(int folder, const std::string& name, const std::string& to);

// A file-system object as the kernel tells it apart from any other.
struct ItemIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// Deletes a file, a link, or a folder with everything in it, walking relative to folder descriptors so
// that a folder swapped for a link meanwhile is removed as the link, never followed. Never descends
// into another mounted file system (bind mounts included): a folder holding a mount point is left
// partly in place and reported. The hook, for diagnostics and tests, is called with the path of each
// folder just before it is entered.
using RemovalHook = std::function<void(const std::string& path)>;
std::optional<std::string> removeItem(const std::string& path, const RemovalHook& beforeEntering = {});
// removeItem of the entry name of the folder open at folder, only while that entry is still the item
// expected: checked just before a file is unlinked and on the descriptor of a folder entered. path
// names the item in messages.
std::optional<std::string> removeItemAt(int folder, const std::string& name, const std::string& path,
                                        const ItemIdentity& expected);

// createDirectories with the reason of a failure.
std::optional<std::string> createDirectoriesReporting(const std::string& path);

// Lexical clean-up of a path: repeated separators collapsed, "." dropped, ".." resolved against the
// preceding component (never above the root), trailing separator dropped. Touches nothing.
std::string standardizedPath(const std::string& path);
// realpath(3): every symbolic link of every component followed. Nothing when that fails.
std::optional<std::string> resolvedPath(const std::string& path);
// True when path is prefix itself or lies below it ("/usr2" is not within "/usr").
bool isWithinPath(const std::string& path, const std::string& prefix);

// "NAME" of a path for messages: its last component in double quotes.
std::string quotedName(const std::string& path);

// Disk space of an item and everything below it, as du -B1 counts it: allocated blocks, hard links
// once, never crossing into another file system or following links.
BRISKLET_ENGINE_EXPORT std::int64_t diskUsage(const std::string& path);

} // namespace brisklet::platform
