// Helpers for deletion-safety tests: a private home and Trash per test, a tmpfs as a second volume,
// and running a real program (trash-cli) with captured output.
#pragma once

#include "TempTree.h"

#include <optional>
#include <string>
#include <vector>

namespace brisklet::test {

// Points HOME and XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_STATE_HOME into tree for its lifetime, so the
// home Trash, the user folders and the audit log are the test's own; restores them afterwards.
class ScopedSafetyEnvironment {
public:
    explicit ScopedSafetyEnvironment(TempTree& tree);
    ~ScopedSafetyEnvironment();
    ScopedSafetyEnvironment(const ScopedSafetyEnvironment&) = delete;
    ScopedSafetyEnvironment& operator=(const ScopedSafetyEnvironment&) = delete;

    const std::string& home() const { return m_home; }
    const std::string& dataHome() const { return m_dataHome; }
    const std::string& stateHome() const { return m_stateHome; }
    std::string homeTrash() const { return m_dataHome + "/Trash"; }

private:
    std::optional<std::string> m_oldHome;
    std::optional<std::string> m_oldConfigHome;
    std::optional<std::string> m_oldDataHome;
    std::optional<std::string> m_oldStateHome;
    std::string m_home;
    std::string m_dataHome;
    std::string m_stateHome;
};

// A small tmpfs mounted on a fresh folder, unmounted on destruction. mounted() is false (with
// failure() saying why) where this process may not mount.
class TmpfsMount {
public:
    explicit TmpfsMount(const std::string& folder, const std::string& options = "size=16m,mode=0755");
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool mounted() const { return m_mounted; }
    const std::string& failure() const { return m_failure; }
    const std::string& path() const { return m_path; }
    // Remounts read-only; false when that fails.
    bool makeReadOnly();

private:
    std::string m_path;
    bool m_mounted = false;
    std::string m_failure;
};

// True when anything, even a dangling link, is at path.
bool somethingAt(const std::string& path);

// Reads a whole file; nothing when it cannot be read.
std::optional<std::string> readFile(const std::string& path);
// Names in a folder, sorted, without "." and ".."; empty when it cannot be read.
std::vector<std::string> folderNames(const std::string& path);

// This process's uid as text, as Trash folder names carry it.
std::string uidText();

// trash-cli's programs, the independent reader and writer of the Trash folders.
inline constexpr const char* trashList = "/usr/bin/trash-list";
inline constexpr const char* trashPut = "/usr/bin/trash-put";
inline constexpr const char* trashRestore = "/usr/bin/trash-restore";
// Whether trash-list and trash-put are installed here.
bool haveTrashCli();

} // namespace brisklet::test
