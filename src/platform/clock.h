// The system clock, as local time.
#pragma once

#include <cstdint>
#include <ctime>

#include "platform/seam.h"

namespace paneloom::platform {

class Clock {
public:
    virtual ~Clock() = default;

    // The current time in whole seconds, converted to local time with the
    // process's time zone rules; false when the conversion fails.
    virtual bool LocalNow(std::tm& out) = 0;

    // A moment given in seconds since 1970-01-01 00:00 UTC, in local time
    // by the system's own time zone and its daylight-saving rules for that
    // date (on Windows those of the system, whatever a TZ variable says);
    // false when the moment cannot be converted.
    virtual bool ToLocal(std::int64_t seconds, std::tm& out) = 0;
};

template <>
Clock& RealImpl<Clock>();

}  // namespace paneloom::platform
