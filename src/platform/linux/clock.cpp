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
};

}  // namespace

template <>
Clock& RealImpl<Clock>() {
    static LinuxClock clock;
    return clock;
}

}  // namespace paneloom::platform
