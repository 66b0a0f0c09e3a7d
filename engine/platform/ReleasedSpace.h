// How much disk space removing items really gives back.
//
// A file's blocks are released only when its last link goes. So each item is measured with its files
// that have other links kept apart (device, inode, link count, how many of those links lie inside the
// item); once a batch is done, such a file counts only when all of its links were in items that left,
// and then once, at the first of them. Folders, symbolic links and files with one link count as they
// are. Allocated blocks are counted as du does; the walk never follows a link and never enters another
// mounted file system.
#pragma once

#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

namespace brisklet::platform {

struct ItemUsage {
    struct LinkedFile {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::uint64_t links = 0;     // its link count
        std::uint64_t linksHere = 0; // how many of them lie inside the item
        std::int64_t bytes = 0;
    };
    std::int64_t ownBytes = 0;          // what goes with the item whatever else is removed
    std::vector<LinkedFile> linkedFiles; // files with more than one link, each once
};

// Measures the item at path (a symbolic link in its last component is measured itself). A stop request
// ends the walk early: what was counted so far, less than the item releases.
ItemUsage measureItemUsage(const std::string& path, std::stop_token stop = {});

// The bytes each item releases when exactly the items marked removed leave together; 0 for the others.
std::vector<std::int64_t> releasedBytes(const std::vector<ItemUsage>& items, const std::vector<bool>& removed);

} // namespace brisklet::platform
