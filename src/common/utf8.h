// UTF-8 as 8-bit text is read where UTF-8 is the code page (the Linux
// build): a well-formed UTF-8 sequence is one character, and any other byte
// stands alone for its Windows-1252 character, so text written for an 8-bit
// Western code page reads as it always did. A byte below 0x80 is always a
// character of its own, so ASCII text (markup, variable names) never begins
// or ends inside another character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace paneloom {

struct Utf8Character {
    char32_t code = 0;
    std::size_t length = 0;  // bytes, 1 to 4; 0 only past the end
};

// The character at `position` of `text` in the reading above.
Utf8Character DecodeCharacter(std::string_view text, std::size_t position);

// Bytes of the well-formed UTF-8 sequence at `position` (1 for ASCII, 2 to
// 4), or 0 when the bytes there are not one: no overlong forms, surrogates
// or code points past U+10FFFF, and none cut short by the end of the text.
std::size_t WellFormedLength(std::string_view text, std::size_t position);

// True when a character begins at `position` (the end of the text counts).
bool IsCharacterBoundary(std::string_view text, std::size_t position);

// The last character boundary at or before `offset`: the longest prefix of
// at most `offset` bytes that holds whole characters only.
std::size_t BoundaryAtOrBefore(std::string_view text, std::size_t offset);

// The first character boundary at or after `offset` (at most the text's
// length).
std::size_t BoundaryAtOrAfter(std::string_view text, std::size_t offset);

// Appends `code` in UTF-8; a code that no UTF-8 sequence may carry (a
// surrogate, past U+10FFFF) as U+FFFD.
void AppendUtf8(std::string& out, char32_t code);

// The text in well-formed UTF-8 (each byte that stands alone written as the
// UTF-8 of its Windows-1252 character): what a library that expects UTF-8
// (fontconfig's family names) is handed.
std::string ToWellFormedUtf8(std::string_view text);

}  // namespace paneloom
