#include "PlistFiles.h"

#include "ChildProcess.h"
#include "platform/FileServices.h"

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace brisklet::test {

namespace {

const char* const script = R"PY(
import plistlib, sys
sys.setrecursionlimit(100000)
path, fmt, top = sys.argv[1], sys.argv[2], sys.argv[3]
args = sys.argv[4:]
def value(typed):
    kind, text = typed[0], typed[2:]
    if kind == "s": return text
    if kind == "i": return int(text)
    if kind == "b": return text == "true"
    if kind == "a": return [text]
    raise SystemExit("bad value " + typed)
if top == "array":
    root = list(args)
elif top.startswith("nested:"):
    nested = ["leaf"]
    for _ in range(int(top[7:]) - 2):
        nested = [nested]
    root = {"name": "deep", "nested": nested}
else:
    root = {args[i]: value(args[i + 1]) for i in range(0, len(args), 2)}
with open(path, "wb") as out:
    plistlib.dump(root, out, fmt=plistlib.FMT_BINARY if fmt == "binary" else plistlib.FMT_XML)
)PY";

void runPython(const std::string& path, PlistFormat format, const std::string& top,
               const std::vector<std::string>& values) {
    const std::string parent = platform::parentPath(path);
    if (!parent.empty())
        platform::createDirectories(parent);
    std::vector<std::string> arguments{"/usr/bin/python3", "-c", script, path,
                                       format == PlistFormat::binary ? "binary" : "xml", top};
    arguments.insert(arguments.end(), values.begin(), values.end());
    if (runCommand(arguments).exitStatus != 0)
        throw std::runtime_error("python3 could not write " + path);
}

} // namespace

void writePlist(const std::string& path, const PlistEntries& entries, PlistFormat format) {
    std::vector<std::string> values;
    for (const auto& [key, value] : entries) {
        values.push_back(key);
        values.push_back(value);
    }
    runPython(path, format, "dict", values);
}

void writeArrayPlist(const std::string& path, const std::vector<std::string>& items, PlistFormat format) {
    runPython(path, format, "array", items);
}

void writeNestedPlist(const std::string& path, int depth, PlistFormat format) {
    runPython(path, format, "nested:" + std::to_string(depth), {});
}

std::string plistBytes(const PlistEntries& entries, PlistFormat format) {
    char pattern[] = "/tmp/brisklet-plist-XXXXXX";
    const int fd = ::mkstemp(pattern);
    if (fd < 0)
        throw std::runtime_error("mkstemp failed");
    ::close(fd);
    writePlist(pattern, entries, format);
    std::ifstream in(pattern, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    ::unlink(pattern);
    return bytes.str();
}

} // namespace brisklet::test
