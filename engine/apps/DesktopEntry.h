// Desktop entries (freedesktop.org .desktop files): how a Linux desktop launches an application.
//
// Only the [Desktop Entry] group is read, and only unlocalized keys. The program an entry launches is
// the first word of Exec (after an "env VAR=value ..." prefix, with the quoting rules of the format),
// or TryExec when Exec names no absolute path. Files are read through the platform helper, which
// never blocks on a FIFO; an unreadable file or one without the group gives nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisklet {

struct DesktopEntry {
    std::string path;   // the .desktop file
    std::string fileId; // file name without ".desktop": the application's identifier
    std::string name;   // Name
    std::string icon;   // Icon: a theme icon name or an absolute file
    std::string version;         // X-AppImage-Version, else Version when it is not the format's own
    std::string program;         // absolute path of the launched program, "" when none is named
    std::string command;         // the first word of Exec as written: a path, or a name looked up in PATH
    bool isApplication = false;  // Type=Application
    bool noDisplay = false;      // NoDisplay=true: a helper the menus do not show
    bool hidden = false;         // Hidden=true: the entry counts as deleted
};

namespace DesktopEntries {

// Parses the text of a desktop entry found at path.
std::optional<DesktopEntry> parse(std::string_view text, const std::string& path);
// Reads and parses one file.
std::optional<DesktopEntry> read(const std::string& path);
// Every "*.desktop" file directly inside folder, in name order.
std::vector<DesktopEntry> readFolder(const std::string& folder);

// The program named by an Exec value: the first word, unquoted, after any env prefix.
std::string programOf(std::string_view exec);
// The same word when it is not an absolute path too.
std::string commandOf(std::string_view exec);

// True when path is folder itself or lies below it (plain text comparison of whole components).
bool isAtOrBelow(std::string_view path, std::string_view folder);

} // namespace DesktopEntries

} // namespace brisklet
