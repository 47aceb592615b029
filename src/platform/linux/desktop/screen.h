// The primary screen's size from what the display's own tools print. Pure
// functions, so that each answer is checked without a display.
#pragma once

#include <string>

#include "platform/desktop.h"

namespace paneloom::platform::lnx {

// `xrandr --query`: the primary output's geometry, else the first connected
// output's, else the whole screen's.
ScreenSize ScreenFromXrandr(const std::string& output);

// `xdpyinfo`: the first screen's dimensions.
ScreenSize ScreenFromXdpyinfo(const std::string& output);

// `swaymsg -t get_outputs -r`: the focused output's current mode, turned
// as the output is turned.
ScreenSize ScreenFromSwayOutputs(const std::string& json);

// GNOME's display configuration service (GetCurrentState, as gdbus prints
// it): the current mode of the primary logical monitor's first monitor.
ScreenSize ScreenFromMutterState(const std::string& state);

// A DRM connector's `modes` file: its first (preferred) mode.
ScreenSize ScreenFromDrmModes(const std::string& modes);

}  // namespace paneloom::platform::lnx
