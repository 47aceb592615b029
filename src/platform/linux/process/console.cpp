#include "platform/console.h"

#include <cstdio>

namespace paneloom::platform {

namespace {

// The program's text is UTF-8 on Linux already.
class LinuxConsole final : public Console {
public:
    bool Write(ConsoleStream stream, const std::string& text) override {
        std::FILE* file = stream == ConsoleStream::kOutput ? stdout : stderr;
        // A text lost to a full disk or a closed pipe is a failure, not a
        // success that printed nothing.
        const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        return std::fflush(file) == 0 && written;
    }
};

}  // namespace

template <>
Console& RealImpl<Console>() {
    static LinuxConsole console;
    return console;
}

}  // namespace paneloom::platform
