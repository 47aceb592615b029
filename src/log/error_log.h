// The program's only diagnostic channel: one timestamped line per reported
// failure, appended to "paneloomerror.log" in the current directory.
#pragma once

#include <cstddef>
#include <string>

namespace paneloom {

extern const char* const kErrorLogName;

// Appends "<timestamp> : <message>\n". Holds no state between calls and never
// fails visibly: when the log cannot be opened the message is dropped.
//
// A fixed message is logged without allocating, so a failure handler can
// report exhausted memory while it is still exhausted; a formatted one costs
// its caller the allocation of the text.
void LogError(const char* message) noexcept;
void LogError(const std::string& message) noexcept;

// Where logged lines go instead of the file.
class LogDestination {
public:
    virtual ~LogDestination() = default;
    // One whole line, timestamp and final line feed included.
    virtual void Line(const char* line, std::size_t size) noexcept = 0;
};

// Sends every logged line to `destination` while the object lives, so that
// a preview or a check reports on the console and leaves no log behind.
class ScopedLogDestination {
public:
    explicit ScopedLogDestination(LogDestination& destination);
    ~ScopedLogDestination();
    ScopedLogDestination(const ScopedLogDestination&) = delete;
    ScopedLogDestination& operator=(const ScopedLogDestination&) = delete;

private:
    LogDestination* previous_;
};

}  // namespace paneloom
