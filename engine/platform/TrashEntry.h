// Acting on one item of a Trash only while it is still the item that was moved there.
//
// A Trash name is freed when its item leaves (restored by another program, emptied) and the next item
// trashed under that name takes it. So an item is remembered by what was moved, not by its name: the
// device and inode of the item, and the Path and DeletionDate written in its .trashinfo. Before it is
// put back or deleted, the entry files/NAME must still be that item and its info file must still hold
// those two lines; otherwise nothing is touched.
//
// The Trash's files/ folder is opened once and the entry is checked (fstatat, links not followed) and
// acted on relative to that descriptor, right after the check; its records go through the descriptors
// of the same Trash.
#pragma once

#include "UniqueFd.h"

#include <cstdint>
#include <optional>
#include <string>

namespace brisklet::platform {

struct TrashEntryIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::string infoPath;     // the Path= value written in its .trashinfo, percent-encoded as written
    std::string deletionDate; // the DeletionDate= value written

    bool operator==(const TrashEntryIdentity&) const = default;
};

// What the identity check says when the entry is another item now, and when nothing is there any more.
inline constexpr const char* changedInTrash = "changed in the Trash since it was moved there";
inline constexpr const char* goneFromTrash = "no longer in the Trash";

// One entry of a Trash's files/ folder, opened to be checked and acted on.
class TrashEntry {
public:
    // place: the entry's location, folders resolved, own name kept. Fails with changedInTrash when
    // place is not directly inside a Trash's files/ folder (where nothing is ever trashed).
    static std::optional<TrashEntry> open(const std::string& place, std::string& failure);

    // Nothing when files/NAME is the remembered item and its .trashinfo holds the remembered Path and
    // DeletionDate; goneFromTrash when files/NAME is gone; otherwise changedInTrash (or why the entry
    // cannot be read).
    std::optional<std::string> check(const TrashEntryIdentity& expected) const;

    // Once the item has left files/NAME: its .trashinfo and directorysizes line go, found through the
    // descriptors opened here rather than by path, so a Trash folder renamed or replaced since is not
    // the one edited. Nothing happens while something is at files/NAME.
    void forget() const;

    int filesFolder() const { return m_files.get(); }
    const std::string& name() const { return m_name; }
    const std::string& path() const { return m_path; }

private:
    TrashEntry(UniqueFd trash, UniqueFd files, UniqueFd info, std::string name, std::string path)
        : m_trash(std::move(trash)), m_files(std::move(files)), m_info(std::move(info)), m_name(std::move(name)),
          m_path(std::move(path)) {}

    UniqueFd m_trash;
    UniqueFd m_files;
    UniqueFd m_info;
    std::string m_name;
    std::string m_path;
};

// The Path= and DeletionDate= values of the [Trash Info] group of a .trashinfo text; empty when absent.
struct TrashInfoLines {
    std::string path;
    std::string deletionDate;
};
TrashInfoLines parseTrashInfo(const std::string& contents);

} // namespace brisklet::platform
