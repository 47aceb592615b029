// Text in the system's 8-bit (ANSI) code page: byte-exact searching that
// respects double-byte character boundaries, and case mapping by the code
// page's rules. These ask the platform which code page is in force, so they
// sit above the seam; plain byte helpers live in common/.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace paneloom {

// Which bytes begin a two-byte character in the code page in force, asked
// of the platform once, when this is made. Under a single-byte code page
// every byte is a character of its own.
class CharacterWidths {
public:
    CharacterWidths();

    bool DoubleByte() const { return doubleByte_; }

    // 2 when `byte` begins a two-byte character, otherwise 1.
    std::size_t Width(char byte) const { return leadBytes_[static_cast<unsigned char>(byte)] ? 2 : 1; }

    // The first character boundary at or after `offset`, walking whole
    // characters from the start of `text`. Past the end of `text` when its
    // last byte begins a character that it cuts off.
    std::size_t BoundaryAtOrAfter(std::string_view text, std::size_t offset) const;

private:
    bool doubleByte_ = false;
    std::array<bool, 256> leadBytes_{};
};

// The one search for a text in texts of the code page in force: the lowest
// position at which it occurs, byte for byte and case-sensitive, where under
// a double-byte code page only character boundaries are tried. A finder
// made once serves any number of searches for the same text (every match of
// a variable name), asking the code page only when it is made. It refers to
// `what`, which must outlive it.
class TextFinder {
public:
    explicit TextFinder(std::string_view what) : what_(what) {}

    // The lowest position q >= from at which the text begins, or npos.
    // `from` must be a character boundary of `text`: its start, or the end of
    // an earlier match. An empty text is found at `from` itself.
    std::size_t Find(std::string_view text, std::size_t from) const;

    const CharacterWidths& Widths() const { return widths_; }

private:
    std::string_view what_;
    CharacterWidths widths_;
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
    if (!widths_.DoubleByte()) {
        // memchr to the next byte that can start the text, then compare the
        // remainder there.
        while (position <= last) {
            const void* found = std::memchr(data + position, first, last - position + 1);
            if (found == nullptr) return std::string_view::npos;
            position = static_cast<std::size_t>(static_cast<const char*>(found) - data);
            if (std::memcmp(data + position + 1, what_.data() + 1, rest) == 0) return position;
            ++position;
        }
        return std::string_view::npos;
    }
    while (position <= last) {
        if (data[position] == first && std::memcmp(data + position + 1, what_.data() + 1, rest) == 0) {
            return position;
        }
        position += widths_.Width(data[position]);
    }
    return std::string_view::npos;
}

// Lowest position q >= from at which `what` occurs in `text`, or -1. A `from`
// below 0 or beyond the end gives -1; under a double-byte code page a `from`
// inside a character counts from that character's end. An empty `what` is
// found at `from`. Searching a view of the rest of a text (rather than the
// whole text from an offset) costs only what is walked, even under a
// double-byte code page.
std::int32_t FindText(std::string_view text, std::string_view what, std::int32_t from);

// Case conversion by the rules of the system's ANSI code page.
void ToLowerAnsi(std::string& text);
void ToUpperAnsi(std::string& text);

}  // namespace paneloom
