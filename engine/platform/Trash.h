// The freedesktop.org Trash, version 1.0 of the desktop standard: the home trash and the trash folders of other volumes.
//
// Protocol of moving an item to the Trash:
//  - The item goes to the home trash ($XDG_DATA_HOME/Trash) when it lives on that file system, else to
//    its volume's $topdir/.Trash/$uid (only when .Trash is a real folder with the sticky bit) or
//    $topdir/.Trash-$uid; folders are created as needed with mode 0700.
//  - A free name is reserved by creating info/NAME.trashinfo with O_EXCL first (Path= percent-encoded,
//    absolute in the home trash and relative to $topdir elsewhere; DeletionDate= local time); then the
//    item is renamed to files/NAME without replacing anything. Taken names get a counter: "a.2.txt".
//  - Nothing is ever copied across file systems: when no trash on the item's own volume can be used,
//    the item stays where it is and the failure says why.
//  - directorysizes holds a line for each trashed folder. When an item leaves files/ (restored or
//    deleted), forgetItem() removes its .trashinfo and its directorysizes line (TrashEntry::forget()
//    does the same through the descriptors of the Trash it checked).
// Items trashed here list and restore with trash-cli and desktop file managers, and theirs are ours.
#pragma once

#include "TrashEntry.h"

#include <optional>
#include <string>
#include <vector>

namespace brisklet::platform {

struct TrashMove {
    bool success = false;
    std::string failureDescription;          // set on failure
    std::optional<std::string> trashedPath;  // on success: files/NAME in the trash used
    TrashEntryIdentity identity = {};        // on success: what was moved there (see TrashEntry.h)
};

namespace Trash {

// Moves the item at path into the trash of its volume. A symbolic link in the last component is moved
// itself; the folders above it are resolved. Never throws.
TrashMove moveToTrash(const std::string& path);

// $XDG_DATA_HOME/Trash (default ~/.local/share/Trash). Not created.
std::string homeTrashDirectory();

// The trash folders (each holding files/ and info/) that count for a location: the home trash and those
// of the location's volume. Resolved where they exist; nothing is created.
std::vector<std::string> trashDirectoriesFor(const std::string& location);

// Call after an item has left a trash (restored or deleted), with its former location, folders resolved.
// A direct child of files/ loses its .trashinfo and its directorysizes line; something deeper inside a
// trashed folder makes that folder's directorysizes line stale, so the line goes. Nothing happens for
// locations outside every trash, or when something still exists at location.
void forgetItem(const std::string& location);
// Removes the directorysizes line of files/NAME from the trash folder open at trash, if it has one.
void dropDirectorySize(int trash, const std::string& name);

// Path= encoding: every byte but A-Z a-z 0-9 - _ . ~ / as %XX.
std::string encodePath(const std::string& bytes);
// The reverse; nothing for a malformed escape.
std::optional<std::string> decodePath(const std::string& text);

// The name a trashed item gets on the attempt-th try (1 is the name itself): "a.txt", "a.2.txt",
// "a.3.txt"; shortened when NAME.trashinfo would exceed the file-name limit.
std::string trashName(const std::string& name, unsigned attempt);

} // namespace Trash

} // namespace brisklet::platform
