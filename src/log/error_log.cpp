#include "log/error_log.h"

#include <cstring>
#include <ctime>

#include "platform/clock.h"
#include "platform/files.h"

namespace paneloom {

const char* const kErrorLogName = "paneloomerror.log";

namespace {

constexpr char kSeparator[] = " : ";
constexpr std::size_t kSeparatorLength = sizeof kSeparator - 1;

// Room on the stack for a whole line: every fixed message fits, with the
// longest timestamp, so none of them needs the heap.
constexpr std::size_t kLineRoom = 512;

LogDestination* g_destination = nullptr;

// The timestamp of a line for the current local time, or nothing when the
// time cannot be converted or does not fit.
std::size_t FormatTimestamp(char (&buffer)[128]) {
    std::tm local{};
    if (!platform::Get<platform::Clock>().LocalNow(local)) return 0;
    // The program never changes the C library's locale, so month names are
    // English whatever the user's language.
    return std::strftime(buffer, sizeof buffer, "%H:%M:%S -- %B %d, %Y", &local);
}

char* Put(char* out, const char* bytes, std::size_t size) {
    std::memcpy(out, bytes, size);
    return out + size;
}

void AppendLine(const char* message, std::size_t length) noexcept {
    try {
        char timestamp[128];
        const std::size_t stamp = FormatTimestamp(timestamp);
        const std::size_t size = stamp + kSeparatorLength + length + 1;
        char room[kLineRoom];
        std::string longLine;
        char* line = room;
        if (size > sizeof room) {
            longLine.resize(size);
            line = &longLine[0];
        }
        char* out = Put(line, timestamp, stamp);
        out = Put(out, kSeparator, kSeparatorLength);
        out = Put(out, message, length);
        *out = '\n';
        if (g_destination != nullptr) {
            g_destination->Line(line, size);
            return;
        }
        platform::Get<platform::Files>().AppendExclusive(kErrorLogName, platform::ByteSpan{line, size});
    } catch (...) {
        // The log has no fallback channel; a message that cannot be written is lost.
    }
}

}  // namespace

void LogError(const char* message) noexcept { AppendLine(message, std::strlen(message)); }

void LogError(const std::string& message) noexcept { AppendLine(message.data(), message.size()); }

ScopedLogDestination::ScopedLogDestination(LogDestination& destination) : previous_(g_destination) {
    g_destination = &destination;
}

ScopedLogDestination::~ScopedLogDestination() { g_destination = previous_; }

}  // namespace paneloom
