// The wallpaper operations above the desktop seam.
#include "render/wallpaper.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace paneloom {
namespace {

using Calls = std::vector<std::string>;

class WallpaperTest : public ::testing::Test {
protected:
    testing::FakeDesktop desktop;
    platform::ScopedFake<platform::Desktop> fake{desktop};
};

TEST_F(WallpaperTest, TheBackgroundStyleChoosesTheStyleAndAnyOtherValueCentres) {
    const std::vector<std::pair<std::int32_t, std::string>> cases = {
        {0, "center"}, {1, "tile"}, {2, "stretch"}, {3, "fill"}, {4, "fit"}, {7, "center"}, {-1, "center"}, {5, "center"},
    };
    for (const auto& [backgroundStyle, style] : cases) {
        desktop.calls.clear();
        ApplyWallpaperStyle(backgroundStyle);
        EXPECT_EQ(Calls{"WriteWallpaperStyle " + style}, desktop.calls) << backgroundStyle;
    }
}

TEST_F(WallpaperTest, TheFullPathIsHandedToTheSystem) {
    SetDesktopWallpaper("paneloominfo.bmp");
    EXPECT_EQ((Calls{"FullPathName paneloominfo.bmp", "SetWallpaper C:\\work\\paneloominfo.bmp"}), desktop.calls);
}

TEST_F(WallpaperTest, AFullPathMustFitTheBufferWithItsTerminator) {
    desktop.fullPath = "C:\\" + std::string(252, 'a') + ".bmp";  // 259 characters
    SetDesktopWallpaper("x.bmp");
    ASSERT_EQ(259u, desktop.fullPath.size());
    ASSERT_EQ(2u, desktop.calls.size());
    EXPECT_EQ("SetWallpaper " + desktop.fullPath, desktop.calls[1]);

    desktop.calls.clear();
    desktop.fullPath += "p";  // 260: no room for the terminator
    SetDesktopWallpaper("x.bmp");
    EXPECT_EQ(Calls{"FullPathName x.bmp"}, desktop.calls);
}

TEST_F(WallpaperTest, APathThatCannotBeResolvedChangesNothing) {
    class Unresolvable : public testing::FakeDesktop {
    public:
        std::string FullPathName(const std::string& path) override {
            FakeDesktop::FullPathName(path);
            return std::string();
        }
    } unresolvable;
    platform::ScopedFake<platform::Desktop> other(unresolvable);
    SetDesktopWallpaper("x.bmp");
    EXPECT_EQ(Calls{"FullPathName x.bmp"}, unresolvable.calls);
}

}  // namespace
}  // namespace paneloom
