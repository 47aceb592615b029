// The program's only diagnostic channel: one timestamped line per reported
// failure, appended to "paneloomerror.log" in the current directory.
#pragma once

#include <string>

namespace paneloom {

extern const char* const kErrorLogName;

// Appends "<timestamp> : <message>\n". Holds no state between calls and never
// fails visibly: when the log cannot be opened the message is dropped.
void LogError(const std::string& message);

// The timestamp text of one log line for a local time; empty when it does not
// fit its buffer.
std::string FormatLogTimestamp(const struct tm& local);

}  // namespace paneloom
