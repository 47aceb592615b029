// UTF-16, as Windows' wide functions and "Unicode" text files hold it, to
// and from the program's 8-bit UTF-8 text.
#pragma once

#include <string>
#include <string_view>

namespace paneloom {

// The text read as common/utf8.h reads it (a byte outside well-formed UTF-8
// stands for its Windows-1252 character), in UTF-16.
std::u16string Utf16FromUtf8(std::string_view text);

// UTF-16 in UTF-8; a surrogate without its partner becomes U+FFFD.
std::string Utf8FromUtf16(std::u16string_view text);

// A file's bytes that begin with a UTF-16 byte-order mark (FF FE little-
// endian, FE FF big-endian) read as UTF-16 up to the first U+0000, in UTF-8
// with the UTF-8 byte-order mark in front, so that the text says in its
// first bytes that it is UTF-8. False, with `text` untouched, for any other
// bytes. An odd last byte is dropped.
bool DecodeUtf16File(std::string_view bytes, std::string& text);

// True when a configuration's text runs in UTF-8 rather than the system's
// ANSI code page: it begins with the UTF-8 byte-order mark, or it is
// well-formed UTF-8 that holds at least one character outside ASCII. A
// file of ASCII alone reads the same either way; an 8-bit file with
// accented letters is practically never well-formed UTF-8.
bool RunsInUtf8(std::string_view text);

}  // namespace paneloom
