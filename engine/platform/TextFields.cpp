#include "TextFields.h"

#include <limits>
#include <locale.h>
#include <wchar.h>

namespace brisklet::text {

std::vector<std::string_view> splitLines(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            pieces.push_back(text.substr(start));
            break;
        }
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

std::vector<std::string_view> splitAtLineBreaks(std::string_view text) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r')
            continue;
        pieces.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        pieces.push_back(text.substr(start));
    return pieces;
}

namespace {

std::string_view trimSet(std::string_view text, std::string_view set) {
    const size_t first = text.find_first_not_of(set);
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(set);
    return text.substr(first, last - first + 1);
}

template <typename Unsigned>
std::optional<Unsigned> parseMagnitude(std::string_view digits, Unsigned limit) {
    if (digits.empty())
        return std::nullopt;
    Unsigned value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const Unsigned digit = Unsigned(c - '0');
        if (value > (limit - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

} // namespace

std::string_view trimSpacesAndTabs(std::string_view text) { return trimSet(text, " \t"); }

std::string_view trimWhitespace(std::string_view text) { return trimSet(text, " \t\n\r\v\f"); }

std::string_view trimTrailing(std::string_view text, std::string_view characters) {
    const size_t last = text.find_last_not_of(characters);
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

std::optional<std::int32_t> parseInt32(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::uint64_t limit = negative ? std::uint64_t(std::numeric_limits<std::int32_t>::max()) + 1
                                         : std::uint64_t(std::numeric_limits<std::int32_t>::max());
    const auto magnitude = parseMagnitude<std::uint64_t>(text, limit);
    if (!magnitude)
        return std::nullopt;
    return negative ? std::int32_t(-std::int64_t(*magnitude)) : std::int32_t(*magnitude);
}

std::optional<std::uint16_t> parseUInt16(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const auto value = parseMagnitude<std::uint32_t>(text, std::numeric_limits<std::uint16_t>::max());
    return value ? std::optional<std::uint16_t>(std::uint16_t(*value)) : std::nullopt;
}

std::optional<std::uint64_t> parseUInt64(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    return parseMagnitude<std::uint64_t>(text, std::numeric_limits<std::uint64_t>::max());
}

std::string upperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return result;
}

std::string lowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return result;
}

namespace {
bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
} // namespace

namespace {

// The character starting at byte i of UTF-8 text; next is set to the byte after it.
char32_t decodeAt(std::string_view text, std::size_t i, std::size_t& next) {
    const auto lead = static_cast<unsigned char>(text[i]);
    next = i + 1;
    if (lead < 0x80)
        return lead;
    char32_t character = lead & 0x3F;
    while (next < text.size() && isContinuation(text[next]))
        character = (character << 6) | (static_cast<unsigned char>(text[next++]) & 0x3F);
    const std::size_t length = next - i;
    return length > 1 && length <= 4 ? character & ((char32_t(1) << (5 * length + 1)) - 1) : character;
}

// The cells one character takes, as wcwidth tells in a UTF-8 locale; 1 when no such locale exists.
int cellsOf(char32_t character) {
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
    if (character < 0x80 || !utf8)
        return 1;
    const locale_t previous = uselocale(utf8);
    const int cells = wcwidth(wchar_t(character));
    uselocale(previous);
    return cells < 0 ? 1 : cells; // ps prints a non-printable character as one '?'
}

} // namespace

std::size_t byteOffsetOfCells(std::string_view text, std::size_t cells) {
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t next;
        const int width = cellsOf(decodeAt(text, i, next));
        // Combining marks after the last counted character still belong to it.
        if (used >= cells && width != 0)
            break;
        used += std::size_t(width);
        i = next;
    }
    return i;
}

std::string_view lastCodePoints(std::string_view text, std::size_t count) {
    std::size_t start = text.size();
    std::size_t taken = 0;
    while (start > 0 && taken < count) {
        --start;
        if (!isContinuation(text[start]))
            ++taken;
    }
    return text.substr(start);
}

} // namespace brisklet::text
