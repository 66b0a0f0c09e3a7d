// Small helpers shared by the brisklet-cli commands: exit codes, option parsing and JSON output.
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace brisklet::cli {

enum ExitCode : int {
    exitOk = 0,
    exitSomeFailed = 1, // the command ran, but some item or subtree failed
    exitUsage = 2,      // bad arguments or an unusable input path
};

// Prints "brisklet-cli: MESSAGE" on stderr and returns exitUsage.
int usageError(const std::string& message);

// Parses a whole non-negative number; nothing when text is not one.
std::optional<long long> parseCount(const std::string& text);
// Parses a positive decimal number of seconds.
std::optional<double> parseSeconds(const std::string& text);

// Writes a JSON document followed by a newline; invalid UTF-8 in strings is repaired, never fatal.
void writeJson(std::ostream& out, const nlohmann::json& document);
// Writes to path, or to stdout when path is empty or "-". Returns false (with a message) on failure.
bool writeJsonTo(const std::string& path, const nlohmann::json& document);

// Text shown to a person: invalid UTF-8 repaired.
std::string displayText(const std::string& bytes);
// The exact bytes of a name or path where its JSON text had to be repaired (standard base64), so
// that names that read the same stay apart; nothing for valid UTF-8.
std::optional<std::string> exactBytesWhereRepaired(const std::string& bytes);

} // namespace brisklet::cli
