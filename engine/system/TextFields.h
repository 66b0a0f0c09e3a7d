// Small text helpers for reading tool output and kernel text files: lines, trimming, strict numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisklet::text {

// Pieces between separators, empty ones included; a trailing separator adds no empty last piece.
std::vector<std::string_view> splitLines(std::string_view text, char separator);
// Splits at '\n' and '\r' (a "\r\n" pair counts once).
std::vector<std::string_view> splitAtLineBreaks(std::string_view text);

std::string_view trimSpacesAndTabs(std::string_view text);
std::string_view trimWhitespace(std::string_view text); // spaces, tabs, line breaks, \v, \f
std::string_view trimTrailing(std::string_view text, std::string_view characters);

// Whole-text decimal numbers with an optional sign; nothing on any other character or overflow.
std::optional<std::int32_t> parseInt32(std::string_view text);
std::optional<std::uint16_t> parseUInt16(std::string_view text);
std::optional<std::uint64_t> parseUInt64(std::string_view text);

std::string upperAscii(std::string_view text);
std::string lowerAscii(std::string_view text);

// Byte offset where the code point with the given index starts (UTF-8); the size when there are fewer.
std::size_t byteOffsetOfCodePoint(std::string_view text, std::size_t index);
// The last count code points of text.
std::string_view lastCodePoints(std::string_view text, std::size_t count);

} // namespace brisklet::text
