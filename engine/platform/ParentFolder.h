// reopenParent: the way back up a walk that closed the descriptors of folders far above it.
//
// A deep walk keeps only a few folder descriptors open; on the way back up, the folder above is reached
// through ".." of the child still open and accepted only when it is the very folder seen on the way
// down (same device and inode). A folder moved meanwhile gives no descriptor, and the walk ends there.
#pragma once

#include "UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace brisklet::platform {

inline UniqueFd reopenParent(int child, dev_t device, ino_t inode) {
    UniqueFd fd(::openat(child, "..", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || st.st_dev != device || st.st_ino != inode)
        return {};
    return fd;
}

} // namespace brisklet::platform
