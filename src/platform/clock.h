// The system clock, as local time.
#pragma once

#include <ctime>

#include "platform/seam.h"

namespace paneloom::platform {

class Clock {
public:
    virtual ~Clock() = default;

    // The current time in whole seconds, converted to local time with the
    // process's time zone rules; false when the conversion fails.
    virtual bool LocalNow(std::tm& out) = 0;
};

template <>
Clock& RealImpl<Clock>();

}  // namespace paneloom::platform
