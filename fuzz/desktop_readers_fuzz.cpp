// What the desktops' tools print and their settings files hold, read back
// as the current wallpaper, the screen's size and the program's own record:
// every reader over arbitrary text, the input chosen by its first byte.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/linux/desktop/commands.h"
#include "platform/linux/desktop/screen.h"
#include "render/wallpaper_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace paneloom::platform;
    using namespace paneloom::platform::lnx;
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    CurrentWallpaper current;
    ScreenSize screen;
    switch (data[0] % 12) {
        case 0: ReadGSettings(DesktopKind::Gnome, {text, text, text}, current); break;
        case 1: ReadGSettings(DesktopKind::Mate, {text, text, text}, current); break;
        case 2: ReadXfce(text, text, current); XfceStyleProperty(XfceFirstImageProperty(text)); break;
        case 3: ReadPlasmaConfig(text, current); break;
        case 4: ReadSwayConfig(text, "/home/u", current); break;
        case 5: ReadFehScript(text, current); break;
        case 6: screen = ScreenFromXrandr(text); break;
        case 7: screen = ScreenFromXdpyinfo(text); break;
        case 8: screen = ScreenFromSwayOutputs(text); break;
        case 9: screen = ScreenFromMutterState(text); break;
        case 10: screen = ScreenFromDrmModes(text); break;
        default: {
            paneloom::WallpaperRecord record;
            if (paneloom::ParseRecord(text, record) && record.original.find_first_of("\r\n") == std::string::npos) {
                paneloom::WallpaperRecord again;
                // What was read is written back the same way.
                if (!paneloom::ParseRecord(paneloom::FormatRecord(record), again) || again != record) __builtin_trap();
            }
            break;
        }
    }
    PathFromFileUri(text);
    StringFromGVariant(text);
    return screen.width < 0 ? 1 : 0;
}
