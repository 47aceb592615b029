// Every program these tests start inherits this environment: no desktop
// session to be found and settings that live only in memory, so that no
// run ever changes the wallpaper of whoever runs the tests. A test that
// wants a desktop sets one up in a scratch directory of its own.
#include <cstdlib>
#include <initializer_list>

namespace {

struct DesktopSandbox {
    DesktopSandbox() {
        for (const char* name : {"XDG_CURRENT_DESKTOP", "XDG_SESSION_TYPE", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION",
                                 "DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK", "DBUS_SESSION_BUS_ADDRESS"}) {
            ::unsetenv(name);
        }
        ::setenv("GSETTINGS_BACKEND", "memory", 1);
    }
};

const DesktopSandbox sandbox;

}  // namespace
