// The program's only diagnostic channel: one timestamped line per reported
// failure, appended to "paneloomerror.log" in the current directory.
#pragma once

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

}  // namespace paneloom
