// Sets the process's time zone (the TZ variable) for one scope and puts the
// old setting back afterwards, so local-time texts can be checked exactly.
#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

namespace paneloom::testing {

class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const std::string& zone) {
        const char* old = std::getenv("TZ");
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        Set(zone, true);
    }
    ~ScopedTimeZone() { Set(old_, hadOld_); }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    static void Set(const std::string& zone, bool present) {
#ifdef _WIN32
        const std::string assignment = "TZ=" + (present ? zone : std::string());
        _putenv(assignment.c_str());
        _tzset();
#else
        if (present) setenv("TZ", zone.c_str(), 1);
        else unsetenv("TZ");
        tzset();
#endif
    }

    bool hadOld_ = false;
    std::string old_;
};

}  // namespace paneloom::testing
