// Property-list reading: the string-valued entries of a top-level dictionary, from either encoding.
//
// Callers only ever need string values, so other value types are left out; a key whose value is not
// a string is treated as missing. Every failure (missing, unreadable or not-regular file, a parse
// error, a top level that is not a dictionary) yields no value. Nothing here throws.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace brisklet::platform {

using PropertyListStrings = std::map<std::string, std::string>;

// Parses XML or binary property-list data.
std::optional<PropertyListStrings> parsePropertyListStrings(std::string_view data);
// Reads the whole regular file at path (symbolic links followed) and parses it. A FIFO, device or
// folder at path is refused without blocking; so is a file larger than 32 MiB. Containers nested more
// than 512 deep are refused in both encodings (the parser would exhaust the stack).
std::optional<PropertyListStrings> readPropertyListStrings(const std::string& path);

} // namespace brisklet::platform
