// Unicode's simple case mapping: each character to the one character of its
// other case, as Windows maps text character by character. A character with
// no other case (or whose other case is more than one character, as ß's
// upper case is) maps to itself.
#pragma once

#include <string>

namespace paneloom {

char32_t SimpleUpperCase(char32_t code);
char32_t SimpleLowerCase(char32_t code);

// Case conversion of a UTF-8 text (read as common/utf8.h reads it),
// character by character. No character outside ASCII becomes an ASCII
// letter: keywords and attribute names are ASCII and matched after
// lower-casing, so the Kelvin sign must not turn into k, nor İ into i.
void ToUpperUtf8(std::string& text);
void ToLowerUtf8(std::string& text);

}  // namespace paneloom
