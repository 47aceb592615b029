// Unicode's simple case mapping: each character to the one character of its
// other case, as Windows maps text character by character. A character with
// no other case (or whose other case is more than one character, as ß's
// upper case is) maps to itself.
#pragma once

namespace paneloom::platform::lnx {

char32_t SimpleUpperCase(char32_t code);
char32_t SimpleLowerCase(char32_t code);

}  // namespace paneloom::platform::lnx
