// Property-list reading: chosen string values of a top-level dictionary, from either encoding.
//
// Callers ask for the keys they need and get those whose values are strings; a key that is missing
// or holds another type is left out. (Keys are looked up, never enumerated: libplist aborts the
// process on a key with an embedded NUL when asked to hand it out.) Every failure (missing, unreadable or not-regular file, a parse
// error, a top level that is not a dictionary) yields no value. Nothing here throws.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisklet::platform {

using PropertyListStrings = std::map<std::string, std::string>;

// Parses XML or binary property-list data.
std::optional<PropertyListStrings> parsePropertyListStrings(std::string_view data, const std::vector<std::string>& keys);
// Reads the whole regular file at path (symbolic links followed) and parses it. A FIFO, device or
// folder at path is refused without blocking; so is a file larger than 32 MiB. Containers nested more
// than 512 deep are refused in both encodings (the parser would exhaust the stack), and so is a binary
// list whose shared references expand to more than a million nodes.
std::optional<PropertyListStrings> readPropertyListStrings(const std::string& path,
                                                           const std::vector<std::string>& keys);

} // namespace brisklet::platform
