// Scanning plain text: white space, prefixes and suffixes, whole numbers and
// lines. Byte-exact and free of any locale or code page, for the text files
// and tool output that the platform layers read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace paneloom {

// Blank, tab, CR, LF, VT or FF.
bool IsBlank(char c);

// The text without the white space at its ends.
std::string Trim(std::string_view text);

// The text with its ASCII capitals lower-cased and every other byte kept.
std::string LowerAscii(std::string text);

bool StartsWith(std::string_view text, std::string_view prefix);
bool EndsWith(std::string_view text, std::string_view suffix);

// A whole decimal number (surrounding white space allowed, one sign), without
// overflow: false when the text is anything else or the value does not fit.
bool ParseSigned(std::string_view text, std::int64_t& value);

// A whole hexadecimal number of at most 16 digits, "0x" allowed, surrounding
// white space allowed.
bool ParseHex(std::string_view text, std::uint64_t& value);

// The value of one hexadecimal digit, or -1.
int HexDigitValue(char c);

// The lines of a text without their line feeds; a last line without one
// counts, an empty text has none.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace paneloom
