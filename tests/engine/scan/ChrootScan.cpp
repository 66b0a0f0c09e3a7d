// chroot-scan ROOT: scans "/" with ROOT as the root folder and prints "ROOTNAME:CHILD,CHILD,...,".
// A separate program because the scanner starts threads, which a forked copy of a threaded test may not.
// Exits 77 when this process may not chroot.
#include "scan/DiskScanner.h"
#include "scan/ScanDefaults.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv) {
    using namespace brisklet;
    if (argc != 2)
        return 2;
    if (::chroot(argv[1]) != 0 || ::chdir("/") != 0)
        return 77;
    const DiskScanner::Options options{.maxWorkers = 2,
                                       .foldDirectoryNames = ScanDefaults::foldDirectoryNames(),
                                       .rootSkipNames = ScanDefaults::rootSkipNames(),
                                       .largeFileThresholdBytes = 1,
                                       .topLargeFileCount = 100,
                                       .directoryTimeoutSeconds = 15};
    const ScanResult result = DiskScanner(options).scan("/", std::make_shared<ScanStats>());
    std::string names = result.root.entry.name + ":";
    if (result.root.children)
        for (const ScanNode& child : *result.root.children)
            names += child.entry.name + ",";
    std::fputs(names.c_str(), stdout);
    std::fflush(stdout);
    // No leak check at exit: inside the chroot there is no /proc for it to read.
    std::_Exit(0);
}
