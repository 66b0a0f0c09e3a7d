// LeftoverScanner: the files an application left in the user's own Library, each measured.
//
// Candidates are fixed places named after the bundle identifier or the application name, plus the
// group containers whose names end with the identifier. On a Linux desktop the places are the XDG
// folders (~/.config, ~/.local/share, ~/.local/state, ~/.cache, each with the identifier, the name and
// the lower-case name), the Flatpak data folder ~/.var/app/ID and the autostart entry ID.desktop,
// followed by what launches the application: the user's desktop and autostart entries whose program
// lies in the bundle, and the icon files in ~/.local/share/icons those entries name. Each existing
// candidate (probed once, with lstat, links not followed) is measured on the measuring pool; empty
// ones and those that vanished meanwhile are left out. The XDG folders are those the environment
// names. A leftover found only by a name that another program installed here answers to (git's
// ~/.config/git for a Git AppImage) is returned marked shared, with the reason (OtherPrograms.h), so
// that it is offered unticked. Fails only when the machine does (no memory, no thread for a scan); a
// stop request ends it with Cancelled.
#pragma once

#include "apps/ApplicationEntry.h"
#include "platform/Export.h"
#include "scan/DiskScanner.h"
#include "scan/ScanRecords.h"

#include <stop_token>
#include <string>
#include <vector>

namespace brisklet {

struct HostProfile;
struct OtherPrograms;

// One leftover as measured, and whether it may belong to another program as well.
struct Leftover : FileEntry {
    bool shared = false;      // found only by a name another installed program also uses
    std::string sharedReason; // "Also used by git, installed on this computer"; empty when not shared

    bool operator==(const Leftover&) const = default;
};

} // namespace brisklet

namespace brisklet::LeftoverScanner {

// The candidate paths in probing order, duplicates included. An identifier or name that is not a
// single path component (empty, ".", "..", or containing "/" or a NUL) contributes no candidates, so that
// text from a bundle's property list cannot point outside the places searched. On a Linux desktop a
// place shared by many applications (~/.config/autostart, ~/.local/share/applications, ...) and a
// place that holds the bundle or lies inside it are never candidates.
std::vector<std::string> candidates(const ApplicationEntry& application, const std::string& home);
std::vector<std::string> candidates(const ApplicationEntry& application, const std::string& home,
                                    const HostProfile& profile);

// The leftovers that exist, sizes at least 1 byte, largest first. Without otherPrograms, this
// computer's are asked.
BRISKLET_ENGINE_EXPORT
std::vector<Leftover> leftovers(const ApplicationEntry& application, const std::string& home,
                                const DiskScanner::Options& scannerOptions, std::stop_token stop = {});
std::vector<Leftover> leftovers(const ApplicationEntry& application, const std::string& home,
                                const DiskScanner::Options& scannerOptions, std::stop_token stop,
                                const HostProfile& profile);
std::vector<Leftover> leftovers(const ApplicationEntry& application, const std::string& home,
                                const DiskScanner::Options& scannerOptions, std::stop_token stop,
                                const HostProfile& profile, const OtherPrograms& otherPrograms);

} // namespace brisklet::LeftoverScanner
