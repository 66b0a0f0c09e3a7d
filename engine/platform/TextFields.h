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

// Byte offset just past the given number of terminal cells of UTF-8 text, counting cells as ps pads
// its columns (wide characters two, combining marks none); the size when the text is narrower.
std::size_t byteOffsetOfCells(std::string_view text, std::size_t cells);
// The last count code points of text.
std::string_view lastCodePoints(std::string_view text, std::size_t count);

} // namespace brisklet::text
