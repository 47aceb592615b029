#include "platform/desktop.h"

#include <windows.h>

#include <cstring>
#include <string>
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
        // Windows 7 and later.
        case WallpaperStyle::Fill:
            return {"10", "0"};
        case WallpaperStyle::Fit:
            return {"6", "0"};
        case WallpaperStyle::Center:
            break;
    }
    return {"0", "0"};
}

void SetText(HKEY key, const char* name, const char* text) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(std::strlen(text) + 1));
}

// A string value of the desktop key; empty when it is missing.
std::string ReadText(HKEY key, const char* name) {
    char buffer[64] = {};
    DWORD type = 0;
    DWORD size = sizeof(buffer) - 1;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::string();
    }
    return std::string(buffer);
}

// The style the two desktop values stand for; "22" (span, across every
// monitor) covers the primary one as fill does.
bool StyleOfValues(const std::string& wallPaperStyle, const std::string& tileWallPaper, WallpaperStyle& style) {
    if (wallPaperStyle == "10" || wallPaperStyle == "22") {
        style = WallpaperStyle::Fill;
    } else if (wallPaperStyle == "6") {
        style = WallpaperStyle::Fit;
    } else if (wallPaperStyle == "2") {
        style = WallpaperStyle::Stretch;
    } else if (wallPaperStyle == "0" || wallPaperStyle.empty()) {
        if (wallPaperStyle.empty() && tileWallPaper.empty()) return false;
        style = tileWallPaper == "1" ? WallpaperStyle::Tile : WallpaperStyle::Center;
    } else {
        return false;
    }
    return true;
}

// UTF-16 from the system as the program's 8-bit text, in the ANSI code page
// its file calls take.
std::string Narrow(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], size, nullptr, nullptr);
    narrow.resize(static_cast<std::size_t>(size - 1));
    return narrow;
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

    CurrentWallpaper ReadCurrentWallpaper() override {
        CurrentWallpaper current;
        // The wide call: a picture whose name the ANSI code page cannot
        // spell is then known for one the program cannot open, not taken
        // for another.
        wchar_t path[MAX_PATH + 1] = {};
        if (SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH, path, 0)) {
            const std::string narrow = Narrow(path);
            if (narrow.find('?') == std::string::npos) current.path = narrow;
        }
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &key) == ERROR_SUCCESS) {
            current.styleKnown =
                StyleOfValues(ReadText(key, "WallPaperStyle"), ReadText(key, "TileWallPaper"), current.style);
            RegCloseKey(key);
        }
        current.colour = GetSysColor(COLOR_DESKTOP) & 0xFFFFFF;
        return current;
    }

    ScreenSize PrimaryScreenSize() override {
        // The display mode itself, in device pixels, whatever the scaling.
        DEVMODEW mode{};
        mode.dmSize = sizeof(mode);
        ScreenSize size;
        if (EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) {
            size.width = static_cast<std::int32_t>(mode.dmPelsWidth);
            size.height = static_cast<std::int32_t>(mode.dmPelsHeight);
        }
        if (!size.Known()) {
            size.width = GetSystemMetrics(SM_CXSCREEN);
            size.height = GetSystemMetrics(SM_CYSCREEN);
        }
        return size;
    }

    std::string StateDirectory() override {
        wchar_t base[MAX_PATH + 1] = {};
        const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", base, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return std::string();
        std::wstring folder = std::wstring(base) + L"\\Paneloom";
        CreateDirectoryW(folder.c_str(), nullptr);
        const DWORD attributes = GetFileAttributesW(folder.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return std::string();
        const std::string narrow = Narrow(folder.c_str());
        if (narrow.empty() || narrow.find('?') != std::string::npos) return std::string();
        return narrow + "\\";
    }
};

}  // namespace

template <>
Desktop& RealImpl<Desktop>() {
    static Win32Desktop desktop;
    return desktop;
}

}  // namespace paneloom::platform
