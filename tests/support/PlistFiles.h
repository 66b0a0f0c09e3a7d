// Property-list fixtures written by Python's plistlib, an encoder independent of the reader under test.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace brisklet::test {

enum class PlistFormat { xml, binary };

// One top-level dictionary entry: key and a typed value "s:text", "i:42", "b:true" or "a:text" (an
// array holding one string).
using PlistEntries = std::vector<std::pair<std::string, std::string>>;

// Writes a dictionary property list at path, creating parent folders. Throws when Python fails.
void writePlist(const std::string& path, const PlistEntries& entries, PlistFormat format);
// Writes a property list whose top level is an array of the given strings.
void writeArrayPlist(const std::string& path, const std::vector<std::string>& items, PlistFormat format);
// Writes {"name": "deep", "nested": [[...]]} whose containers, the top dictionary included, nest depth deep.
void writeNestedPlist(const std::string& path, int depth, PlistFormat format);
// The bytes of a dictionary property list.
std::string plistBytes(const PlistEntries& entries, PlistFormat format);

} // namespace brisklet::test
