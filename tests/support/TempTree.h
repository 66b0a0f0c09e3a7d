// TempTree: a real folder tree in a fresh temporary folder, removed with everything in it on destruction.
#pragma once

#include <cstdint>
#include <functional>
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

// A chain of depth folders named "d" below folder, made and removed through descriptors: its paths
// outgrow PATH_MAX and a recursive walk outgrows the stack.
void makeFolderChain(const std::string& folder, int depth);
void removeFolderChain(const std::string& folder, int depth);
// Runs work on a thread with a 128 KiB stack and waits for it: a walk that recurses once per level of
// a chain of some ten thousand folders overflows it.
void onSmallStack(const std::function<void()>& work);

// True when the process may mount file systems (root, or CAP_SYS_ADMIN).
bool canMount();

} // namespace brisklet::test
