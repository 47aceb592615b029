// The 8-bit code page of the run's texts: how its bytes form characters, and
// case mapping. A run is in the system's ANSI code page, or in UTF-8 when
// its configuration is (see SelectUtf8).
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

    // Chooses the run's code page: UTF-8, or the system's ANSI code page.
    // Everything the platform hands up or takes from then on (system texts,
    // file names, drawn text) is in that code page. A platform whose texts
    // are UTF-8 anyway has nothing to choose.
    virtual void SelectUtf8(bool utf8) { (void)utf8; }
};

template <>
AnsiCodePage& RealImpl<AnsiCodePage>();

}  // namespace paneloom::platform
