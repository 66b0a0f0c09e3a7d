#include "DesktopEntry.h"

#include "platform/FileServices.h"


namespace brisklet::DesktopEntries {

namespace {

constexpr std::string_view desktopSuffix = ".desktop";
// Desktop entries are a few kilobytes; a larger file is not one.
constexpr std::size_t largestEntryBytes = 1 << 20;

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The format's own escapes in string values: \s \n \t \r \\.
std::string unescapeValue(std::string_view raw) {
    std::string value;
    for (std::size_t index = 0; index < raw.size(); ++index) {
        if (raw[index] != '\\' || index + 1 == raw.size()) {
            value.push_back(raw[index]);
            continue;
        }
        const char next = raw[++index];
        switch (next) {
        case 's': value.push_back(' '); break;
        case 'n': value.push_back('\n'); break;
        case 't': value.push_back('\t'); break;
        case 'r': value.push_back('\r'); break;
        default: value.push_back(next); break;
        }
    }
    return value;
}

// Exec words: blanks separate, double quotes group, and inside quotes a backslash escapes the next character.
std::vector<std::string> execWords(std::string_view exec) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (std::size_t index = 0; index < exec.size(); ++index) {
        const char c = exec[index];
        if (quoted) {
            if (c == '"')
                quoted = false;
            else if (c == '\\' && index + 1 < exec.size())
                word.push_back(exec[++index]);
            else
                word.push_back(c);
        } else if (c == ' ' || c == '\t') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else if (c == '"') {
            quoted = inWord = true;
        } else {
            word.push_back(c);
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

// Version keys that state the desktop-entry format's version rather than the application's.
bool isFormatVersion(std::string_view version) {
    return version == "1.0" || version == "1.1" || version == "1.2" || version == "1.3" || version == "1.4" ||
           version == "1.5" || version.starts_with("0.9");
}

} // namespace

bool isAtOrBelow(std::string_view path, std::string_view folder) {
    const std::string trimmed = platform::withoutTrailingSlashes(std::string(folder));
    if (!path.starts_with(trimmed))
        return false;
    return path.size() == trimmed.size() || path[trimmed.size()] == '/' || trimmed == "/";
}

std::string programOf(std::string_view exec) {
    std::string command = commandOf(exec);
    return command.starts_with('/') ? command : std::string();
}

std::string commandOf(std::string_view exec) {
    const std::vector<std::string> words = execWords(exec);
    std::size_t index = 0;
    if (index < words.size() && (words[index] == "env" || words[index] == "/usr/bin/env")) {
        ++index;
        while (index < words.size() && words[index].find('=') != std::string::npos && words[index][0] != '/')
            ++index;
    }
    return index < words.size() ? words[index] : std::string();
}

std::optional<DesktopEntry> parse(std::string_view text, const std::string& path) {
    DesktopEntry entry;
    entry.path = path;
    std::string fileName = platform::lastPathComponent(path);
    if (fileName.ends_with(desktopSuffix))
        fileName.resize(fileName.size() - desktopSuffix.size());
    entry.fileId = fileName;

    bool inGroup = false, sawGroup = false;
    std::string exec, tryExec, appImageVersion, version;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            inGroup = line == "[Desktop Entry]";
            sawGroup = sawGroup || inGroup;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inGroup || equals == std::string_view::npos)
            continue;
        const std::string_view key = trim(line.substr(0, equals));
        const std::string value = unescapeValue(trim(line.substr(equals + 1)));
        if (key == "Name")
            entry.name = value;
        else if (key == "Icon")
            entry.icon = value;
        else if (key == "Exec")
            exec = value;
        else if (key == "TryExec")
            tryExec = value;
        else if (key == "Type")
            entry.isApplication = value == "Application";
        else if (key == "NoDisplay")
            entry.noDisplay = value == "true";
        else if (key == "Hidden")
            entry.hidden = value == "true";
        else if (key == "X-AppImage-Version")
            appImageVersion = value;
        else if (key == "Version")
            version = value;
    }
    if (!sawGroup)
        return std::nullopt;
    entry.command = commandOf(exec);
    entry.program = entry.command.starts_with('/') ? entry.command : std::string();
    if (entry.program.empty() && tryExec.starts_with('/'))
        entry.program = tryExec;
    entry.version = !appImageVersion.empty() ? appImageVersion : isFormatVersion(version) ? "" : version;
    return entry;
}

std::optional<DesktopEntry> read(const std::string& path) {
    const auto text = platform::readRegularFile(path, largestEntryBytes);
    if (!text)
        return std::nullopt;
    return parse(*text, path);
}

std::vector<DesktopEntry> readFolder(const std::string& folder) {
    std::vector<DesktopEntry> entries;
    for (const std::string& name : platform::sortedEntryNames(folder))
        if (name.size() > desktopSuffix.size() && name.ends_with(desktopSuffix))
            if (auto entry = read(platform::joinPath(folder, name)))
                entries.push_back(std::move(*entry));
    return entries;
}

} // namespace brisklet::DesktopEntries
