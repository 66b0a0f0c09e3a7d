#include "PropertyList.h"

#include "FileServices.h"

#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>
#include <sys/types.h>

namespace brisklet::platform {

namespace {

constexpr off_t maximumFileSize = 32 * 1024 * 1024;
// Real property lists nest a few levels; libplist parses and frees containers recursively, so a
// crafted file nested hundreds of thousands deep would overflow the stack. Deeper input is refused.
constexpr std::size_t maximumNesting = 512;
// A binary property list may refer to one container many times, and libplist copies it at every
// reference: a few hundred bytes can expand to billions of nodes. The expanded tree is bounded.
constexpr std::uint64_t maximumExpandedNodes = 1'000'000;

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPointer = std::unique_ptr<void, PlistFree>;

std::uint64_t readBigEndian(std::string_view data, std::size_t offset, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t index = 0; index < width; ++index)
        value = (value << 8) | static_cast<unsigned char>(data[offset + index]);
    return value;
}

// Walks the object graph of a binary property list without recursion. False for a graph nested
// deeper than maximumNesting, one that expands to more than maximumExpandedNodes, a cycle, or a
// structure that does not hold together.
bool binaryNestingWithinLimit(std::string_view data) {
    constexpr std::size_t headerSize = 8, trailerSize = 32;
    if (data.size() < headerSize + trailerSize)
        return false;
    const std::size_t trailer = data.size() - trailerSize;
    const std::size_t offsetSize = static_cast<unsigned char>(data[trailer + 6]);
    const std::size_t referenceSize = static_cast<unsigned char>(data[trailer + 7]);
    const std::uint64_t objectCount = readBigEndian(data, trailer + 8, 8);
    const std::uint64_t topObject = readBigEndian(data, trailer + 16, 8);
    const std::uint64_t offsetTable = readBigEndian(data, trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || referenceSize < 1 || referenceSize > 8 || objectCount == 0 ||
        topObject >= objectCount || offsetTable < headerSize || offsetTable > trailer ||
        objectCount > (trailer - offsetTable) / offsetSize)
        return false;

    // Whether an object is a container, and if so its first reference and how many it holds; false
    // for a malformed object.
    const auto inspect = [&](std::uint64_t object, bool& container, std::size_t& first, std::uint64_t& count) {
        const std::uint64_t offset = readBigEndian(data, std::size_t(offsetTable + object * offsetSize), offsetSize);
        if (offset < headerSize || offset >= offsetTable)
            return false;
        const unsigned marker = static_cast<unsigned char>(data[offset]);
        const unsigned type = marker >> 4;
        container = type == 0xA || type == 0xB || type == 0xC || type == 0xD;
        if (!container)
            return true;
        count = marker & 0xF;
        first = std::size_t(offset) + 1;
        if (count == 0xF) {
            if (first >= offsetTable)
                return false;
            const unsigned intMarker = static_cast<unsigned char>(data[first]);
            const std::size_t width = std::size_t(1) << (intMarker & 0xF);
            if ((intMarker >> 4) != 0x1 || width > 8 || first + 1 + width > offsetTable)
                return false;
            count = readBigEndian(data, first + 1, width);
            first += 1 + width;
        }
        if (type == 0xD) {
            if (count > (std::uint64_t(1) << 62))
                return false;
            count *= 2;
        }
        return first <= offsetTable && count <= (offsetTable - first) / referenceSize;
    };

    enum : std::uint8_t { unvisited, onPath, finished };
    std::vector<std::uint8_t> state(objectCount, unvisited);
    // Per finished object: container levels at and below it, and the nodes it expands to.
    std::vector<std::uint32_t> height(objectCount, 0);
    std::vector<std::uint32_t> expanded(objectCount, 0);
    struct Frame {
        std::uint64_t object;
        std::size_t first;
        std::uint64_t count;
        std::uint64_t next;
        std::uint32_t height;
        std::uint64_t nodes;
    };
    std::vector<Frame> path;
    // Visits an object: a container goes on the path, anything else is finished at once.
    const auto enter = [&](std::uint64_t object) {
        Frame frame{object, 0, 0, 0, 1, 1};
        bool container = false;
        if (!inspect(object, container, frame.first, frame.count))
            return false;
        if (!container) {
            state[object] = finished;
            expanded[object] = 1;
            return true;
        }
        state[object] = onPath;
        path.push_back(frame);
        return path.size() <= maximumNesting;
    };
    // Adds a finished child to the container on top of the path.
    const auto addToParent = [&](std::uint64_t child) {
        Frame& parent = path.back();
        if (path.size() + height[child] > maximumNesting)
            return false;
        parent.height = std::max(parent.height, height[child] + 1);
        parent.nodes += expanded[child];
        return parent.nodes <= maximumExpandedNodes;
    };
    if (!enter(topObject))
        return false;
    while (!path.empty()) {
        Frame& frame = path.back();
        if (frame.next == frame.count) {
            const std::uint64_t object = frame.object;
            state[object] = finished;
            height[object] = frame.height;
            expanded[object] = std::uint32_t(frame.nodes);
            path.pop_back();
            if (!path.empty() && !addToParent(object))
                return false;
            continue;
        }
        const std::uint64_t child =
            readBigEndian(data, frame.first + std::size_t(frame.next++) * referenceSize, referenceSize);
        if (child >= objectCount || state[child] == onPath)
            return false;
        if (state[child] == unvisited) {
            if (!enter(child))
                return false;
            if (state[child] == onPath)
                continue; // a container: its references come next
        }
        if (!addToParent(child))
            return false;
    }
    return true;
}

// Counts the nesting of <array> and <dict> elements, skipping comments, CDATA, declarations and
// processing instructions.
bool xmlNestingWithinLimit(std::string_view data) {
    std::size_t depth = 0;
    std::size_t position = 0;
    const auto skipPast = [&](std::string_view terminator) {
        const std::size_t end = data.find(terminator, position);
        position = end == std::string_view::npos ? data.size() : end + terminator.size();
    };
    const auto isContainer = [](std::string_view name) { return name == "array" || name == "dict"; };
    while ((position = data.find('<', position)) != std::string_view::npos) {
        const std::string_view rest = data.substr(position);
        if (rest.starts_with("<!--")) {
            skipPast("-->");
        } else if (rest.starts_with("<![CDATA[")) {
            skipPast("]]>");
        } else if (rest.starts_with("<?")) {
            skipPast("?>");
        } else if (rest.starts_with("<!")) {
            skipPast(">");
        } else if (rest.starts_with("</")) {
            const std::size_t nameEnd = rest.find_first_of(" \t\r\n>", 2);
            if (isContainer(rest.substr(2, nameEnd == std::string_view::npos ? std::string_view::npos : nameEnd - 2)) &&
                depth > 0)
                --depth;
            skipPast(">");
        } else {
            const std::size_t nameEnd = rest.find_first_of(" \t\r\n/>", 1);
            const std::string_view name =
                rest.substr(1, nameEnd == std::string_view::npos ? std::string_view::npos : nameEnd - 1);
            const std::size_t close = rest.find('>');
            const bool selfClosing = close != std::string_view::npos && close > 0 && rest[close - 1] == '/';
            if (isContainer(name) && !selfClosing && ++depth > maximumNesting)
                return false;
            skipPast(">");
        }
    }
    return true;
}

} // namespace

std::optional<PropertyListStrings> parsePropertyListStrings(std::string_view data,
                                                            const std::vector<std::string>& keys) {
    if (data.empty() || data.size() > std::size_t(maximumFileSize))
        return std::nullopt;
    const bool binary = data.starts_with("bplist00");
    if (binary ? !binaryNestingWithinLimit(data) : !xmlNestingWithinLimit(data))
        return std::nullopt;
    plist_t rawRoot = nullptr;
    // libplist 2.2 reports failure only through a null root.
    plist_from_memory(data.data(), std::uint32_t(data.size()), &rawRoot);
    const PlistPointer root(rawRoot);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;

    PropertyListStrings strings;
    for (const std::string& key : keys) {
        const plist_t value = plist_dict_get_item(root.get(), key.c_str());
        if (!value || plist_get_node_type(value) != PLIST_STRING)
            continue;
        std::uint64_t length = 0;
        if (const char* text = plist_get_string_ptr(value, &length))
            strings.emplace(key, std::string(text, std::size_t(length)));
    }
    return strings;
}

std::optional<PropertyListStrings> readPropertyListStrings(const std::string& path,
                                                           const std::vector<std::string>& keys) {
    const auto data = readRegularFile(path, std::uint64_t(maximumFileSize));
    if (!data)
        return std::nullopt;
    return parsePropertyListStrings(*data, keys);
}

} // namespace brisklet::platform
