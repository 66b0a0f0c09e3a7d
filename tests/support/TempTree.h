// TempTree: a real folder tree in a fresh temporary folder, removed with everything in it on destruction.
#pragma once

#include <cstdint>
#include <string>

namespace brisklet::test {

class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return m_root; }
    // Absolute path of a relative one inside the tree.
    std::string path(const std::string& relative) const;

    // Each creates missing parent folders and returns the absolute path.
    std::string makeDir(const std::string& relative);
    std::string writeFile(const std::string& relative, const std::string& contents);
    std::string writeFileOfSize(const std::string& relative, std::int64_t bytes); // real bytes
    std::string writeSparseFile(const std::string& relative, std::int64_t length); // no data blocks
    std::string symlink(const std::string& relative, const std::string& target);
    std::string hardlink(const std::string& relative, const std::string& existingRelative);

private:
    std::string m_root;
};

// Removes a folder tree, also one whose folders were made unreadable or unwritable.
void removeTree(const std::string& path);

// True when the process may mount file systems (root, or CAP_SYS_ADMIN).
bool canMount();

} // namespace brisklet::test
