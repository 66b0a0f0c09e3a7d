#include "CliSupport.h"

#include "platform/Utf8.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

namespace brisklet::cli {

int usageError(const std::string& message) {
    std::cerr << "brisklet-cli: " << displayText(message) << '\n';
    return exitUsage;
}

std::optional<long long> parseCount(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 18)
        return std::nullopt;
    return std::stoll(text);
}

std::optional<double> parseSeconds(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(value) || value <= 0)
        return std::nullopt;
    return value;
}

void writeJson(std::ostream& out, const nlohmann::json& document) {
    out << document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

bool writeJsonTo(const std::string& path, const nlohmann::json& document) {
    if (path.empty() || path == "-") {
        writeJson(std::cout, document);
        return bool(std::cout);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
        writeJson(out, document);
    if (!out) {
        std::cerr << "brisklet-cli: cannot write " << displayText(path) << ": " << std::strerror(errno) << '\n';
        return false;
    }
    return true;
}

std::string displayText(const std::string& bytes) { return repairUtf8(bytes); }

std::optional<std::string> exactBytesWhereRepaired(const std::string& bytes) {
    if (repairUtf8(bytes) == bytes)
        return std::nullopt;
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k)
            group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? alphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return out;
}

} // namespace brisklet::cli
