// The system's 8-bit (ANSI) code page: how its bytes form characters, and
// case mapping.
#pragma once

#include <string>

#include "platform/seam.h"

namespace paneloom::platform {

// How the bytes of a text form characters.
enum class CharacterEncoding {
    kSingleByte,  // every byte is a character
    kDoubleByte,  // lead bytes begin two-byte characters
    kUtf8,        // UTF-8, each byte outside a well-formed sequence alone
};

class AnsiCodePage {
public:
    virtual ~AnsiCodePage() = default;

    virtual CharacterEncoding Encoding() = 0;

    // Under a double-byte code page, true when `byte` starts a two-byte
    // character.
    virtual bool IsLeadByte(unsigned char byte) = 0;

    // Case conversion of a whole text by the code page's rules, character by
    // character. The text may change its length where a character's other
    // case takes more or fewer bytes.
    virtual void ToLower(std::string& text) = 0;
    virtual void ToUpper(std::string& text) = 0;
};

template <>
AnsiCodePage& RealImpl<AnsiCodePage>();

}  // namespace paneloom::platform
