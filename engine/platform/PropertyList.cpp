#include "PropertyList.h"

#include <plist/plist.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace brisklet::platform {

namespace {

constexpr off_t maximumFileSize = 32 * 1024 * 1024;

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPointer = std::unique_ptr<void, PlistFree>;

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

std::optional<PropertyListStrings> parsePropertyListStrings(std::string_view data) {
    if (data.empty() || data.size() > std::size_t(maximumFileSize))
        return std::nullopt;
    plist_t rawRoot = nullptr;
    // libplist 2.2 reports failure only through a null root.
    plist_from_memory(data.data(), std::uint32_t(data.size()), &rawRoot);
    const PlistPointer root(rawRoot);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;

    PropertyListStrings strings;
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(root.get(), &iterator);
    if (!iterator)
        return strings;
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(root.get(), iterator, &key, &value);
        if (!value) {
            std::free(key);
            break;
        }
        if (key && plist_get_node_type(value) == PLIST_STRING) {
            std::uint64_t length = 0;
            const char* text = plist_get_string_ptr(value, &length);
            if (text)
                strings.insert_or_assign(key, std::string(text, std::size_t(length)));
        }
        std::free(key);
    }
    std::free(iterator);
    return strings;
}

std::optional<PropertyListStrings> readPropertyListStrings(const std::string& path) {
    // O_NONBLOCK keeps a FIFO named like a property list from stalling the caller.
    const FdCloser file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0)
        return std::nullopt;
    struct stat status {};
    if (::fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > maximumFileSize)
        return std::nullopt;

    std::string data;
    data.reserve(std::size_t(status.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(file.fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (count == 0)
            break;
        data.append(buffer, std::size_t(count));
        if (data.size() > std::size_t(maximumFileSize))
            return std::nullopt;
    }
    return parsePropertyListStrings(data);
}

} // namespace brisklet::platform
