// Names and icons of the applications that processes run: the desktop entries (the home's, then the
// system's, in the order XDG_DATA_HOME and XDG_DATA_DIRS give) whose Exec launches a process's
// executable as /proc/PID/exe shows it.
//
// An entry's program is the first word of its Exec, looked up in PATH when it is a bare name, with
// links resolved. A shell or another interpreter started by an entry ("sh -c ...", "python3 app.py")
// is no application of its own, so those programs name nothing. Hidden entries, entries that are not
// applications and those the menus do not show are left out. A file id found twice counts once (the
// home's wins), and of two entries launching one program the first in that order names it.
//
// The index reads its folders again only when one of them changed (its modification time), so
// refreshing it before every listing costs a stat call per folder. Not thread-safe: one user at a time.
#pragma once

#include "platform/Export.h"

#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace brisklet {

struct RunningApplication {
    std::string name;   // the entry's Name
    std::string icon;   // the entry's Icon: a theme icon name or an absolute file; may be empty
    std::string fileId; // the desktop file id
};

class BRISKLET_ENGINE_EXPORT DesktopEntryIndex {
public:
    // $XDG_DATA_HOME (else ~/.local/share), then each of $XDG_DATA_DIRS (else /usr/local/share and
    // /usr/share): the folders that hold applications and icons, in precedence order.
    static std::vector<std::string> dataFolders();

    // folders: the data folders (their "applications" subfolders are read); searchPath: PATH's value.
    explicit DesktopEntryIndex(std::vector<std::string> folders = dataFolders(), std::string searchPath = {});

    // Reads the entries again when a folder appeared, went or changed since the last refresh.
    void refresh();
    // The application whose program is executable; null for none.
    const RunningApplication* find(const std::string& executable) const;
    std::size_t size() const { return m_programs.size(); }

private:
    void rebuild();
    std::string resolveCommand(const std::string& command) const;

    std::vector<std::string> m_folders;
    std::vector<std::string> m_searchPath;
    std::vector<std::timespec> m_stamps; // per applications folder; tv_sec -1 when absent
    bool m_built = false;
    std::map<std::string, RunningApplication> m_programs; // resolved program -> application
};

// The file of an icon named by a desktop entry: the name itself when absolute, otherwise the first
// NAME.png or NAME.svg among the themes' (then hicolor's) application icons in the data folders, sizes
// closest to size first, then in /usr/share/pixmaps. Empty when there is none.
BRISKLET_ENGINE_EXPORT std::string iconFile(const std::string& icon, const std::vector<std::string>& themes, int size,
                                            const std::vector<std::string>& dataFolders);

} // namespace brisklet
