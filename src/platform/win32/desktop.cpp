#include "platform/desktop.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/win32/run_text.h"

namespace paneloom::platform {

namespace {

// The two registry values that together say how the wallpaper is laid out.
struct StyleValues {
    const char* wallPaperStyle;
    const char* tileWallPaper;
};

StyleValues RegistryValues(WallpaperStyle style) {
    switch (style) {
        case WallpaperStyle::Tile:
            return {"0", "1"};
        case WallpaperStyle::Stretch:
            return {"2", "0"};
        case WallpaperStyle::Center:
            break;
    }
    return {"0", "0"};
}

void SetText(HKEY key, const char* name, const char* text) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(std::strlen(text) + 1));
}

class Win32Desktop final : public Desktop {
public:
    void WriteWallpaperStyle(WallpaperStyle style) override {
        const StyleValues values = RegistryValues(style);
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ | KEY_WRITE, &key) !=
            ERROR_SUCCESS) {
            return;
        }
        SetText(key, "WallPaperStyle", values.wallPaperStyle);
        SetText(key, "TileWallPaper", values.tileWallPaper);
        RegCloseKey(key);
    }

    std::string FullPathName(const std::string& path) override {
        if (RunInUtf8()) {
            const std::wstring wide = WideFromRun(path);
            const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
            if (needed == 0) return std::string();
            std::vector<wchar_t> buffer(needed + 1, L'\0');
            const DWORD length = GetFullPathNameW(wide.c_str(), needed, buffer.data(), nullptr);
            if (length == 0 || length >= needed) return std::string();
            return RunFromWide(std::wstring_view(buffer.data(), length));
        }
        const DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
        if (needed == 0) return std::string();
        std::vector<char> buffer(needed + 1, '\0');
        const DWORD length = GetFullPathNameA(path.c_str(), needed, buffer.data(), nullptr);
        if (length == 0 || length >= needed) return std::string();
        return std::string(buffer.data(), length);
    }

    void SetWallpaper(const std::string& fullPath) override {
        // A UTF-8 run's path reaches the system whole only through the wide call.
        if (RunInUtf8()) {
            std::wstring wide = WideFromRun(fullPath);
            SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, &wide[0], SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
            return;
        }
        std::vector<char> text(fullPath.begin(), fullPath.end());
        text.push_back('\0');
        SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, text.data(), SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
    }
};

}  // namespace

template <>
Desktop& RealImpl<Desktop>() {
    static Win32Desktop desktop;
    return desktop;
}

}  // namespace paneloom::platform
