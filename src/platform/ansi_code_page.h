// The system's 8-bit (ANSI) code page: case mapping and, for double-byte code
// pages, where characters begin.
#pragma once

#include <string>

#include "platform/seam.h"

namespace paneloom::platform {

class AnsiCodePage {
public:
    virtual ~AnsiCodePage() = default;

    // True when the code page has double-byte characters at all; false lets
    // searches skip the boundary walk.
    virtual bool HasLeadBytes() = 0;

    // True when `byte` starts a two-byte character.
    virtual bool IsLeadByte(unsigned char byte) = 0;

    // Case conversion of a whole text by the code page's rules, double-byte
    // characters included.
    virtual void ToLower(std::string& text) = 0;
    virtual void ToUpper(std::string& text) = 0;
};

template <>
AnsiCodePage& RealImpl<AnsiCodePage>();

}  // namespace paneloom::platform
