#include "platform/clock.h"

#include <windows.h>
#include <time.h>

namespace paneloom::platform {

namespace {

// FILETIME counts 100-nanosecond ticks from 1601; the Unix epoch is this
// many seconds later.
constexpr std::int64_t kEpochSeconds = 11644473600;
// SYSTEMTIME ends with the year 30827.
constexpr std::int64_t kLastSecond = 910692730085;

class Win32Clock final : public Clock {
public:
    bool LocalNow(std::tm& out) override {
        const time_t now = time(nullptr);
        return localtime_s(&out, &now) == 0;
    }

    // The C runtime's localtime obeys a TZ variable (MSYS and Cygwin shells
    // set one) before the system's zone; the system's own conversion is
    // what Windows shows, daylight saving of that date included.
    bool ToLocal(std::int64_t seconds, std::tm& out) override {
        if (seconds < -kEpochSeconds || seconds > kLastSecond) return false;
        const auto ticks = static_cast<std::uint64_t>(seconds + kEpochSeconds) * 10000000u;
        FILETIME file{};
        file.dwLowDateTime = static_cast<DWORD>(ticks);
        file.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
        SYSTEMTIME universal{};
        SYSTEMTIME local{};
        if (!FileTimeToSystemTime(&file, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
            return false;
        out = std::tm{};
        out.tm_year = local.wYear - 1900;
        out.tm_mon = local.wMonth - 1;
        out.tm_mday = local.wDay;
        out.tm_hour = local.wHour;
        out.tm_min = local.wMinute;
        out.tm_sec = local.wSecond;
        out.tm_wday = local.wDayOfWeek;
        out.tm_isdst = -1;
        return true;
    }
};

}  // namespace

template <>
Clock& RealImpl<Clock>() {
    static Win32Clock clock;
    return clock;
}

}  // namespace paneloom::platform
