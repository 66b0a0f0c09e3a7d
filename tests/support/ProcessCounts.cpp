#include "ProcessCounts.h"

#include <dirent.h>

namespace brisklet::test {

namespace {

int entriesIn(const char* folder) {
    DIR* dir = ::opendir(folder);
    if (!dir)
        return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(dir))
        count += entry->d_name[0] != '.';
    ::closedir(dir);
    return count - (folder[11] == 'f'); // the listing's own descriptor in /proc/self/fd
}

} // namespace

int openDescriptorCount() { return entriesIn("/proc/self/fd"); }
int threadCount() { return entriesIn("/proc/self/task"); }

} // namespace brisklet::test
