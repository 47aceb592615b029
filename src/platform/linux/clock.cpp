#include "platform/clock.h"

#include <time.h>

namespace paneloom::platform {

namespace {

class LinuxClock final : public Clock {
public:
    bool LocalNow(std::tm& out) override {
        const time_t now = ::time(nullptr);
        return ::localtime_r(&now, &out) != nullptr;
    }

    // On Linux the TZ variable is the system's own way to choose a zone.
    bool ToLocal(std::int64_t seconds, std::tm& out) override {
        const time_t time = static_cast<time_t>(seconds);
        if (static_cast<std::int64_t>(time) != seconds) return false;
        return ::localtime_r(&time, &out) != nullptr;
    }
};

}  // namespace

template <>
Clock& RealImpl<Clock>() {
    static LinuxClock clock;
    return clock;
}

}  // namespace paneloom::platform
