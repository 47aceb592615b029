// The options print their findings and the run's messages on the console;
// none of them leaves an error log behind.
#pragma once

#include <cstddef>
#include <string>

#include "log/error_log.h"
#include "platform/console.h"

namespace paneloom {

// Logged lines, told on standard error instead of the log file.
class ErrorsToConsole final : public LogDestination {
public:
    void Line(const char* line, std::size_t size) noexcept override {
        try {
            platform::Get<platform::Console>().Write(platform::ConsoleStream::kErrors, std::string(line, size));
        } catch (...) {
            // Nowhere else to tell it.
        }
    }
};

// Writes `text` to standard error.
inline void TellError(const std::string& text) {
    platform::Get<platform::Console>().Write(platform::ConsoleStream::kErrors, text);
}

}  // namespace paneloom
