// 8-bit text helpers shared by every subsystem: byte-exact searching that
// respects double-byte character boundaries, case mapping in the ANSI code
// page, and printf-style formatting into a std::string.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace paneloom {

// Lowest position q >= from at which `what` occurs in `text`, or -1. A `from`
// below 0 or beyond the end gives -1. Under a double-byte code page a match
// only begins on a character boundary. An empty `what` is found at `from`.
// Searching a view of the rest of a text (rather than the whole text from an
// offset) costs only what is walked, even under a double-byte code page.
std::int32_t FindText(std::string_view text, std::string_view what, std::int32_t from);

// Case conversion by the rules of the system's ANSI code page.
void ToLowerAnsi(std::string& text);
void ToUpperAnsi(std::string& text);

// printf-style formatting into a new string.
std::string StringPrintf(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace paneloom
