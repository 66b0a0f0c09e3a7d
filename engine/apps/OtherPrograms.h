// OtherPrograms: the programs installed on this computer beside one application, which may read the
// same settings under the same name.
//
// A leftover found only by its name (~/.config/git for Git-2.44.0-x86_64.AppImage, ~/.config/nvim for
// nvim.appimage) can belong to another program of that name: one whose executable is on PATH, one a
// system desktop entry names ("nvim.desktop", "org.gnome.gedit.desktop" for gedit), or one a Debian
// package installs (a file or folder of that name in a bin folder, /usr/lib, /usr/share, /etc, ...).
// The application's own executables (a link to the AppImage in ~/.local/bin) do not count. Asking runs
// one dpkg-query at most, ended after a time-out or at a stop request; what it cannot tell counts as
// no owner.
#pragma once

#include <map>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

namespace brisklet {

struct OtherPrograms {
    std::vector<std::string> searchPath;         // the folders of PATH, in order (relative ones are ignored)
    std::vector<std::string> systemEntryFolders; // the package managers' desktop-entry folders
    std::string packageQueryTool;                // dpkg-query; "" asks no package manager

    // This computer's: $PATH, the package managers' entry folders among the application roots of home,
    // and /usr/bin/dpkg-query.
    static OtherPrograms ofThisComputer(const std::string& home);

    // For each of names that another program can own, that program's name as the user knows it (the
    // command, the entry's Name, the package). Names are looked up as given and in lower case. bundle is
    // the application's path: what lies in it is the application itself.
    std::map<std::string, std::string> owners(const std::set<std::string>& names, const std::string& bundle,
                                              std::stop_token stop = {}) const;
};

} // namespace brisklet
