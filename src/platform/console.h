// The console: what the command-line options print. A run prints nothing.
#pragma once

#include <string>

#include "platform/seam.h"

namespace paneloom::platform {

enum class ConsoleStream { kOutput, kErrors };

class Console {
public:
    virtual ~Console() = default;

    // Writes `text` (the program's 8-bit text) whole to standard output or
    // standard error so that the user reads the characters it holds: on a
    // Windows console through the wide console functions, elsewhere as
    // UTF-8. False when the stream did not take all of it.
    virtual bool Write(ConsoleStream stream, const std::string& text) = 0;
};

template <>
Console& RealImpl<Console>();

}  // namespace paneloom::platform
