#include "log/error_log.h"

#include <ctime>

#include "platform/clock.h"
#include "platform/files.h"

namespace paneloom {

const char* const kErrorLogName = "paneloomerror.log";

std::string FormatLogTimestamp(const struct tm& local) {
    // The program never changes the C library's locale, so month names are
    // English whatever the user's language.
    char buffer[128];
    const std::size_t length = std::strftime(buffer, sizeof buffer, "%H:%M:%S -- %B %d, %Y", &local);
    return std::string(buffer, length);
}

void LogError(const std::string& message) {
    try {
        std::string timestamp;
        std::tm local{};
        if (platform::Get<platform::Clock>().LocalNow(local)) timestamp = FormatLogTimestamp(local);
        const std::string line = timestamp + " : " + message + "\n";
        platform::Get<platform::Files>().AppendExclusive(kErrorLogName, line);
    } catch (...) {
        // The log has no fallback channel; a message that cannot be written is lost.
    }
}

}  // namespace paneloom
