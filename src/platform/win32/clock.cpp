#include "platform/clock.h"

#include <time.h>

namespace paneloom::platform {

namespace {

class Win32Clock final : public Clock {
public:
    bool LocalNow(std::tm& out) override {
        const time_t now = time(nullptr);
        return localtime_s(&out, &now) == 0;
    }
};

}  // namespace

template <>
Clock& RealImpl<Clock>() {
    static Win32Clock clock;
    return clock;
}

}  // namespace paneloom::platform
