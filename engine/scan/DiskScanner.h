// DiskScanner: walks one folder tree into a sized tree of ScanNodes.
//
// Protocol of a scan:
//  - Every folder read (open, list, one statx per entry, close) runs on one serial queue of the
//    scan's DirectoryIOPool and is answered either by the read or by its deadline, whichever is first.
//    A subfolder is opened without following links and must be the folder its listing saw; the root
//    of any mount (bind mounts included) is never entered.
//  - Reads record nothing shared: hard links and large files are taken in from the read's own answer,
//    so a read answered by its deadline leaves no trace.
//  - Answers are assembled by continuations: a folder's node is complete when its last subfolder
//    reports; subfolders are appended in the order they finish, after the folder's files.
//  - Sizes are allocated blocks (st_blocks * 512), a symlink's own length, hard links counted once
//    per scan; another mounted file system is never entered; folded folder names are measured but
//    keep no children; at "/" the host's system areas are skipped.
//  - A stop request answers every waiting read at once and scan() throws Stopped (a Cancelled), even
//    while a read is stuck inside the file system (its thread is left to finish on its own). Stopped
//    carries what was walked: folders read before the stop as read, the others unavailable (size 0,
//    no children), the result partial. The walk stops on scan()'s own thread, not the one asking.
#pragma once

#include "Error.h"
#include "ScanRecords.h"
#include "ScanStats.h"
#include "platform/Export.h"

#include <functional>
#include <memory>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>

namespace brisklet {

class BRISKLET_ENGINE_EXPORT DiskScanner {
public:
    // Every caller sets the first six fields.
    struct Options {
        int maxWorkers;                           // serial I/O queues; below 1 counts as 1
        std::set<std::string> foldDirectoryNames; // exact, case-sensitive folder names
        std::set<std::string> rootSkipNames;      // top-level names left out when scanning "/"
        std::int64_t largeFileThresholdBytes;     // smallest size that enters the large-file list
        int topLargeFileCount;                    // length of the large-file list; below 1 counts as 1
        double directoryTimeoutSeconds;           // time allowed for reading one folder
        // Folders walked into although their name is folded (exact paths as the scan reaches them).
        std::set<std::string> unfoldedDirectoryPaths = {};
    };

    // Called on the worker thread immediately before each file-system call of a folder read, with
    // the operation "validate", "open", "read" or "stat". Several workers call it at once, so it must
    // be thread-safe. It may block or sleep (that is how time-outs are tested); it cannot change the
    // outcome of the call. If it throws, that folder's read fails as unreadable (a refused folder);
    // the scan goes on. It must not wait for the scan that calls it to end.
    using BeforeCall = std::function<void(const std::string& path, std::string_view operation)>;

    // The scan root does not exist or is not a folder.
    class ScanError : public Error {
    public:
        explicit ScanError(std::string path);
        const std::string& path() const { return m_path; }
        bool operator==(const ScanError& other) const { return m_path == other.m_path; }

    private:
        std::string m_path;
    };

    // The scan was stopped; walked() is the tree as far as it got (see the protocol above).
    class Stopped : public Cancelled {
    public:
        explicit Stopped(std::shared_ptr<const ScanResult> walked);
        const ScanResult& walked() const { return *m_walked; }

    private:
        std::shared_ptr<const ScanResult> m_walked; // shared: exceptions are copied
    };

    // Throws std::invalid_argument for a time-out that is not a finite number. maxWorkers is capped at
    // DirectoryIOPool::maxWidth.
    explicit DiskScanner(Options options, BeforeCall beforeCall = {});

    const Options& options() const { return m_options; }

    // Blocks until the tree under root is walked. Throws ScanError for a missing root or one that is
    // not a folder, Stopped (else Cancelled, when nothing was walked) after a stop request. stats must be fresh for this scan; it is only
    // added to and may be polled from any thread meanwhile.
    ScanResult scan(const std::string& root, const std::shared_ptr<ScanStats>& stats,
                    std::stop_token stop = {}) const;

    // True when path is exactly the root of the file system that holds it.
    static bool isMountPoint(const std::string& path);

    // The size a scan gives the item at path (a link itself, not its target): a folder is scanned with
    // this scanner's options, anything else sized as a scan sizes a file. 0 when nothing is there.
    // Throws Cancelled after a stop request.
    std::int64_t sizeOfItem(const std::string& path, std::stop_token stop = {}) const;

private:
    Options m_options;
    BeforeCall m_beforeCall;
};

} // namespace brisklet
