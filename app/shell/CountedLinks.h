// Which link of a hard-linked file a scan counted the file's size at. The scan keeps no inode numbers,
// so the links are matched by asking the file system again (lstat): call it on a worker.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

struct LinkedFile {
    std::string path;
    bool countedElsewhere = false; // its size was counted at another of its links
};

// (index of a file counted elsewhere, index of the link among `files` that carries its size), for every
// file counted elsewhere whose carrying link is listed.
std::vector<std::pair<std::size_t, std::size_t>> matchCountedLinks(const std::vector<LinkedFile>& files);
