// The Win32 desktop. HKEY_CURRENT_USER is redirected to a key of the test's
// own for the process, inside the build's scratch Wine prefix.
#include "platform/desktop.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "support/scratch.h"

namespace paneloom {
namespace {

constexpr const char* kTestRoot = "Software\\PaneloomTests\\DesktopUser";

class RedirectedUser : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kTestRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                 &root_, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, root_));
    }
    void TearDown() override {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        if (root_ != nullptr) RegCloseKey(root_);
        RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
    }

    bool DesktopKeyExists() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(root_, "Control Panel\\Desktop", 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }

    // The value's type and bytes, or an empty text when it is missing.
    std::string Value(const char* name, DWORD* type = nullptr) {
        char data[64] = {};
        DWORD size = sizeof data;
        DWORD kind = 0;
        if (RegGetValueA(root_, "Control Panel\\Desktop", name, RRF_RT_ANY | RRF_NOEXPAND, &kind, data, &size) !=
            ERROR_SUCCESS) {
            return std::string();
        }
        if (type != nullptr) *type = kind;
        return std::string(data, size);
    }

    HKEY root_ = nullptr;
    platform::Desktop& desktop = platform::RealImpl<platform::Desktop>();
};

TEST_F(RedirectedUser, EachStyleWritesItsTwoByteStrings) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root_, "Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    RegCloseKey(key);
    desktop.WriteWallpaperStyle(platform::WallpaperStyle::Stretch);
    DWORD type = 0;
    EXPECT_EQ(std::string("2\0", 2), Value("WallPaperStyle", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::string("0\0", 2), Value("TileWallPaper", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    desktop.WriteWallpaperStyle(platform::WallpaperStyle::Tile);
    EXPECT_EQ(std::string("0\0", 2), Value("WallPaperStyle"));
    EXPECT_EQ(std::string("1\0", 2), Value("TileWallPaper"));
    desktop.WriteWallpaperStyle(platform::WallpaperStyle::Center);
    EXPECT_EQ(std::string("0\0", 2), Value("WallPaperStyle"));
    EXPECT_EQ(std::string("0\0", 2), Value("TileWallPaper"));
}

TEST_F(RedirectedUser, FillAndFitAreWrittenAndEveryStyleIsReadBack) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root_, "Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    RegCloseKey(key);
    struct Case {
        platform::WallpaperStyle style;
        const char* wallPaperStyle;
        const char* tileWallPaper;
    };
    const Case cases[] = {
        {platform::WallpaperStyle::Fill, "10", "0"}, {platform::WallpaperStyle::Fit, "6", "0"},
        {platform::WallpaperStyle::Stretch, "2", "0"}, {platform::WallpaperStyle::Tile, "0", "1"},
        {platform::WallpaperStyle::Center, "0", "0"},
    };
    for (const Case& c : cases) {
        desktop.WriteWallpaperStyle(c.style);
        EXPECT_EQ(std::string(c.wallPaperStyle) + '\0', Value("WallPaperStyle")) << c.wallPaperStyle;
        EXPECT_EQ(std::string(c.tileWallPaper) + '\0', Value("TileWallPaper")) << c.wallPaperStyle;
        const platform::CurrentWallpaper current = desktop.ReadCurrentWallpaper();
        EXPECT_TRUE(current.styleKnown) << c.wallPaperStyle;
        EXPECT_EQ(c.style, current.style) << c.wallPaperStyle;
    }
}

TEST(Win32Desktop, TheScreenAndTheStateFolderAreTheSystems) {
    platform::Desktop& desktop = platform::RealImpl<platform::Desktop>();
    const platform::ScreenSize screen = desktop.PrimaryScreenSize();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), screen.width);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), screen.height);
    EXPECT_TRUE(screen.Known());

    const std::string folder = desktop.StateDirectory();
    char local[MAX_PATH] = {};
    ASSERT_NE(0u, GetEnvironmentVariableA("LOCALAPPDATA", local, MAX_PATH));
    EXPECT_EQ(std::string(local) + "\\Paneloom\\", folder);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST_F(RedirectedUser, MissingDesktopKeyIsNotCreated) {
    desktop.WriteWallpaperStyle(platform::WallpaperStyle::Stretch);
    EXPECT_FALSE(DesktopKeyExists());
}

TEST(Win32Desktop, RelativePathsResolveInTheCurrentDirectory) {
    testing::ScratchDir scratch;
    platform::Desktop& desktop = platform::RealImpl<platform::Desktop>();
    char current[MAX_PATH] = {};
    ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, current));
    EXPECT_EQ(std::string(current) + "\\out.bmp", desktop.FullPathName("out.bmp"));
    EXPECT_EQ(std::string(current) + "\\b.bmp", desktop.FullPathName("a\\..\\b.bmp"));
    // A full path past 259 characters comes back whole or not at all, never
    // cut short.
    const std::string name = std::string(250, 'd') + ".bmp";
    const std::string deep = std::string(current) + "\\" + name;
    const std::string resolved = desktop.FullPathName(name);
    EXPECT_TRUE(resolved.empty() || resolved == deep) << resolved;
}

}  // namespace
}  // namespace paneloom
