// Text in the system's 8-bit (ANSI) code page: byte-exact searching that
// never begins inside a multi-byte character, cuts on character boundaries,
// and case mapping by the code page's rules. These ask the platform which
// code page is in force, so they sit above the seam; plain byte helpers live
// in common/.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "common/utf8.h"
#include "platform/ansi_code_page.h"

namespace paneloom {

// How the code page in force forms characters from bytes, asked of the
// platform once, when this is made. Under a single-byte code page every
// byte is a character of its own.
class CharacterWidths {
public:
    CharacterWidths();

    platform::CharacterEncoding Encoding() const { return encoding_; }

    // The bytes of the character that begins at `position` of `text`, at
    // least 1.
    std::size_t Width(std::string_view text, std::size_t position) const;

    // The first character boundary at or after `offset`. Under a double-byte
    // code page whole characters are walked from the start of `text`, and the
    // result lies past the end of `text` when its last byte begins a
    // character that it cuts off.
    std::size_t BoundaryAtOrAfter(std::string_view text, std::size_t offset) const;

    // The longest prefix of `text` of at most `limit` bytes that holds whole
    // characters only: where a text is cut to fit a buffer.
    std::size_t CutLength(std::string_view text, std::size_t limit) const;

private:
    std::size_t DoubleByteWidth(char byte) const { return leadBytes_[static_cast<unsigned char>(byte)] ? 2 : 1; }

    platform::CharacterEncoding encoding_ = platform::CharacterEncoding::kSingleByte;
    std::array<bool, 256> leadBytes_{};
};

// The one search for a text in texts of the code page in force: the lowest
// position at which it occurs, byte for byte and case-sensitive, where only
// character boundaries are tried (under UTF-8 a match also ends on one). A
// finder made once serves any number of searches for the same text (every
// match of a variable name), asking the code page only when it is made. It
// refers to `what`, which must outlive it.
class TextFinder {
public:
    explicit TextFinder(std::string_view what);

    // The lowest position q >= from at which the text begins, or npos.
    // `from` must be a character boundary of `text`: its start, or the end of
    // an earlier match. An empty text is found at `from` itself.
    std::size_t Find(std::string_view text, std::size_t from) const;

    const CharacterWidths& Widths() const { return widths_; }

private:
    std::string_view what_;
    CharacterWidths widths_;
    // Every byte position is a character boundary for this text's matches:
    // a single-byte code page, or UTF-8 and a text of ASCII at both ends
    // (an ASCII byte never lies inside a character there).
    bool anyPosition_ = true;
};

// Inline: ReplaceAll calls it once per match, and a call per match costs
// more than the search between two matches close together.
inline std::size_t TextFinder::Find(std::string_view text, std::size_t from) const {
    if (from > text.size() || what_.size() > text.size() - from) return std::string_view::npos;
    if (what_.empty()) return from;
    const std::size_t last = text.size() - what_.size();
    const char* const data = text.data();
    const char first = what_[0];
    const std::size_t rest = what_.size() - 1;
    std::size_t position = from;
    if (widths_.Encoding() != platform::CharacterEncoding::kDoubleByte) {
        // memchr to the next byte that can start the text, then compare the
        // remainder there.
        while (position <= last) {
            const void* found = std::memchr(data + position, first, last - position + 1);
            if (found == nullptr) return std::string_view::npos;
            position = static_cast<std::size_t>(static_cast<const char*>(found) - data);
            if (std::memcmp(data + position + 1, what_.data() + 1, rest) == 0 &&
                (anyPosition_ ||
                 (IsCharacterBoundary(text, position) && IsCharacterBoundary(text, position + what_.size())))) {
                return position;
            }
            ++position;
        }
        return std::string_view::npos;
    }
    while (position <= last) {
        if (data[position] == first && std::memcmp(data + position + 1, what_.data() + 1, rest) == 0) {
            return position;
        }
        position += widths_.Width(text, position);
    }
    return std::string_view::npos;
}

// Lowest position q >= from at which `what` occurs in `text`, or -1. A `from`
// below 0 or beyond the end gives -1; a `from` inside a character counts from
// that character's end. An empty `what` is found at `from`. Searching a view
// of the rest of a text (rather than the whole text from an offset) costs only
// what is walked, even under a double-byte code page.
std::int32_t FindText(std::string_view text, std::string_view what, std::int32_t from);

// A text as a fixed buffer of `size` bytes holds it: up to its first NUL
// and at most size - 1 bytes, cut on a character boundary.
std::string BufferText(const std::string& value, std::size_t size);

// Chooses the run's code page from its configuration's text: UTF-8 where
// the text is (RunsInUtf8 of common/utf16.h), otherwise the system's ANSI
// code page. An empty text chooses the ANSI code page.
void SelectRunCodePage(std::string_view configuration);

// Case conversion by the rules of the run's code page.
void ToLowerAnsi(std::string& text);
void ToUpperAnsi(std::string& text);

}  // namespace paneloom
