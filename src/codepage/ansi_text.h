// Text in the system's 8-bit (ANSI) code page: byte-exact searching that
// respects double-byte character boundaries, and case mapping by the code
// page's rules. These ask the platform which code page is in force, so they
// sit above the seam; plain byte helpers live in common/.
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

}  // namespace paneloom
