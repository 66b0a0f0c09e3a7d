#include "RunningApplications.h"

#include "apps/DesktopEntry.h"
#include "platform/FileServices.h"
#include "platform/TextFields.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace brisklet {

namespace {

std::vector<std::string> splitPathList(std::string_view list) {
    std::vector<std::string> folders;
    for (const std::string_view piece : text::splitLines(list, ':'))
        if (piece.starts_with('/'))
            folders.emplace_back(platform::withoutTrailingSlashes(std::string(piece)));
    return folders;
}

std::string resolved(const std::string& path) {
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
}

// Programs that run what they are given: every entry that starts one would claim all its processes.
bool isInterpreter(const std::string& program) {
    static const std::set<std::string_view> names = {"sh",   "bash", "dash",    "zsh",  "fish",  "ksh",  "mksh",
                                                     "csh",  "tcsh", "env",     "node", "nodejs", "java", "wine",
                                                     "wine64", "mono", "gjs",   "flatpak", "snap", "xdg-open",
                                                     "busybox", "sudo", "pkexec"};
    const std::string name = platform::lastPathComponent(program);
    for (const std::string_view family : {"python", "perl", "ruby", "lua", "php", "tclsh", "wish"})
        if (name.starts_with(family))
            return true;
    return names.contains(name);
}

std::timespec stampOf(const std::string& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return {-1, 0};
    return info.st_mtim;
}

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

std::vector<std::string> DesktopEntryIndex::dataFolders() {
    std::vector<std::string> folders{platform::xdgFolders(platform::homeDirectory()).data};
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::vector<std::string> system = splitPathList(dirs && *dirs ? dirs : "");
    if (system.empty())
        system = {"/usr/local/share", "/usr/share"};
    for (std::string& folder : system)
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(std::move(folder));
    return folders;
}

DesktopEntryIndex::DesktopEntryIndex(std::vector<std::string> folders, std::string searchPath)
    : m_folders(std::move(folders)) {
    if (searchPath.empty()) {
        const char* path = std::getenv("PATH");
        searchPath = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    }
    m_searchPath = splitPathList(searchPath);
}

void DesktopEntryIndex::refresh() {
    std::vector<std::timespec> stamps;
    stamps.reserve(m_folders.size());
    for (const std::string& folder : m_folders)
        stamps.push_back(stampOf(platform::joinPath(folder, "applications")));
    const bool same = m_built && std::equal(stamps.begin(), stamps.end(), m_stamps.begin(), m_stamps.end(),
                                            [](const std::timespec& a, const std::timespec& b) {
                                                return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
                                            });
    if (same)
        return;
    m_stamps = std::move(stamps);
    rebuild();
}

void DesktopEntryIndex::rebuild() {
    m_built = true;
    m_programs.clear();
    std::set<std::string> seenIds;
    for (const std::string& folder : m_folders) {
        for (DesktopEntry& entry : DesktopEntries::readFolder(platform::joinPath(folder, "applications"))) {
            // A file id found earlier hides this one, even when the earlier entry is hidden.
            if (!seenIds.insert(entry.fileId).second)
                continue;
            if (!entry.isApplication || entry.hidden || entry.noDisplay || entry.name.empty() || entry.command.empty())
                continue;
            const std::string program = resolveCommand(entry.command);
            if (program.empty() || isInterpreter(program))
                continue;
            m_programs.try_emplace(program, RunningApplication{entry.name, entry.icon, entry.fileId});
        }
    }
}

std::string DesktopEntryIndex::resolveCommand(const std::string& command) const {
    if (command.starts_with('/'))
        return resolved(command);
    if (command.find('/') != std::string::npos)
        return {}; // relative to a folder nobody knows
    for (const std::string& folder : m_searchPath) {
        const std::string candidate = platform::joinPath(folder, command);
        if (::access(candidate.c_str(), X_OK) == 0 && isRegularFile(candidate))
            return resolved(candidate);
    }
    return {};
}

const RunningApplication* DesktopEntryIndex::find(const std::string& executable) const {
    const auto found = m_programs.find(executable);
    return found == m_programs.end() ? nullptr : &found->second;
}

std::string iconFile(const std::string& icon, const std::vector<std::string>& themes, int size,
                     const std::vector<std::string>& dataFolders) {
    if (icon.empty())
        return {};
    if (icon.starts_with('/'))
        return isRegularFile(icon) ? icon : std::string();
    if (icon.find('/') != std::string::npos)
        return {};
    // Sizes at or above the wanted one first (they scale down cleanly), then the vector one, then smaller.
    std::vector<std::string> sizes;
    for (const int side : {16, 22, 24, 32, 48, 64, 96, 128, 256, 512})
        if (side >= size)
            sizes.push_back(std::to_string(side) + "x" + std::to_string(side));
    sizes.push_back("scalable");
    for (const int side : {256, 128, 96, 64, 48, 32, 24, 22, 16})
        if (side < size)
            sizes.push_back(std::to_string(side) + "x" + std::to_string(side));
    std::vector<std::string> themeNames;
    for (const std::string& theme : themes)
        if (!theme.empty() && theme.find('/') == std::string::npos && theme != "hicolor")
            themeNames.push_back(theme);
    themeNames.push_back("hicolor");
    for (const std::string& theme : themeNames)
        for (const std::string& folder : dataFolders) {
            const std::string themeFolder = folder + "/icons/" + theme;
            if (::access(themeFolder.c_str(), X_OK) != 0)
                continue;
            for (const std::string& sizeFolder : sizes)
                for (const char* extension : {".png", ".svg"}) {
                    const std::string candidate = themeFolder + "/" + sizeFolder + "/apps/" + icon + extension;
                    if (isRegularFile(candidate))
                        return candidate;
                }
        }
    for (const char* extension : {".png", ".svg", ".xpm"}) {
        const std::string candidate = "/usr/share/pixmaps/" + icon + extension;
        if (isRegularFile(candidate))
            return candidate;
    }
    return {};
}

} // namespace brisklet
