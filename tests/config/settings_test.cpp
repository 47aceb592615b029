#include <gtest/gtest.h>

#include "config/run_settings.h"
#include "config/settings_elements.h"
#include "support/fakes.h"

namespace paneloom {
namespace {

// File names are lower-cased as on Windows unless a test says otherwise.
class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() : filesScope_(files) { files.namesIgnoreCase = true; }

    RunSettings s;
    testing::FakeFiles files;

private:
    platform::ScopedFake<platform::Files> filesScope_;
};

TEST_F(SettingsTest, DefaultsHoldWithoutGlobalSettings) {
    EXPECT_EQ("paneloom.xml", s.configPath);
    EXPECT_EQ("Paneloom.bmp", s.inputBitmapPath);
    EXPECT_EQ("PaneloomInfo.bmp", s.outputBitmapPath);
    EXPECT_FALSE(s.useScreenDepth);
    EXPECT_EQ(0, s.backgroundStyle);
    EXPECT_EQ(0xC8C8C8u, s.textColor);
    EXPECT_EQ("Arial", s.fontFace);
}

TEST_F(SettingsTest, GlobalSettingsLowerCaseTagsBeforeReading) {
    ParseGlobalSettings("<inputbmp name=\"D:\\Pics\\Sky.BMP\" /><outputbmp NAME=\"Out.BMP\" />"
                        "<backgroundstyle VALUE=\"Stretch\" />", s);
    EXPECT_EQ("d:\\pics\\sky.bmp", s.inputBitmapPath);
    EXPECT_EQ("out.bmp", s.outputBitmapPath);
    EXPECT_EQ(2, s.backgroundStyle);
    EXPECT_FALSE(s.useScreenDepth);
}

TEST_F(SettingsTest, FileNamesKeepTheirCaseWhereTheFileSystemDoes) {
    files.namesIgnoreCase = false;
    ParseGlobalSettings("<inputbmp NAME=\"Pictures/Wall.bmp\" /><outputbmp file=\"X\" Name=\"im\xC3\xA1genes/Out.BMP\" />"
                        "<backgroundstyle VALUE=\"Stretch\" />", s);
    EXPECT_EQ("Pictures/Wall.bmp", s.inputBitmapPath);
    EXPECT_EQ("im\xC3\xA1genes/Out.BMP", s.outputBitmapPath);
    EXPECT_EQ(2, s.backgroundStyle);

    ParseTextSettings("<font face=\"Courier New\" /><executable NAME=\"Tools/App.EXE\" />", s);
    EXPECT_EQ("courier new", s.fontFace);
    EXPECT_EQ("Tools/App.EXE", s.executablePath);
}

TEST_F(SettingsTest, BackgroundStyleKeywords) {
    ParseGlobalSettings("<backgroundstyle value=\"Tile\" />", s);
    EXPECT_EQ(1, s.backgroundStyle);
    ParseGlobalSettings("<backgroundstyle value=\" tile\" />", s);
    EXPECT_EQ(1, s.backgroundStyle);
    ParseGlobalSettings("<backgroundstyle value=\"center\" />", s);
    EXPECT_EQ(0, s.backgroundStyle);
    ParseGlobalSettings("<backgroundstyle />", s);
    EXPECT_EQ(0, s.backgroundStyle);
}

TEST_F(SettingsTest, TheUsersOwnWallpaperAndTheScreensSize) {
    struct Case {
        const char* content;
        std::int32_t style;
        bool named, current, screen;
    };
    const Case cases[] = {
        {"<backgroundstyle value=\"Fill\" />", 3, false, false, false},
        {"<backgroundstyle VALUE=\"fit\" />", 4, false, false, false},
        {"<backgroundstyle value=\"zoom\" />", 0, false, false, false},
        {"<inputbmp wallpaper=\"current\" />", 0, false, true, false},
        {"<inputbmp WALLPAPER=\"Current\" name=\"sky.png\" />", 0, true, true, false},
        {"<inputbmp name=\"photo.jpg\" Size=\"SCREEN\" />", 0, true, false, true},
        {"<inputbmp name=\"size.jpg\" wallpaper=\"wallpaper.jpg\" />", 0, true, false, false},
        {"<inputbmp wallpaper=\"currently\" size=\"screens\" />", 0, false, false, false},
    };
    for (const Case& c : cases) {
        RunSettings settings;
        ParseGlobalSettings(c.content, settings);
        EXPECT_EQ(c.style, settings.backgroundStyle) << c.content;
        EXPECT_EQ(c.named, settings.inputNamed) << c.content;
        EXPECT_EQ(c.current, settings.inputCurrentWallpaper) << c.content;
        EXPECT_EQ(c.screen, settings.inputAtScreenSize) << c.content;
    }
}

TEST_F(SettingsTest, UseScreenDepthIsPresenceOnlyAndAssignedEveryCall) {
    ParseGlobalSettings("<usescreendepth value=\"no\" />", s);
    EXPECT_TRUE(s.useScreenDepth);
    ParseGlobalSettings("<inputbmp file=\"x.bmp\" />", s);
    EXPECT_FALSE(s.useScreenDepth);
    EXPECT_EQ("Paneloom.bmp", s.inputBitmapPath);
    // Child tag names stay case-sensitive.
    ParseGlobalSettings("<UseScreenDepth />", s);
    EXPECT_FALSE(s.useScreenDepth);
}

TEST_F(SettingsTest, TextStartReadsTheFirstAttributeWrittenForX) {
    ParseTextSettings("<textstart x=\"20\" y=\"100\" />", s);
    EXPECT_EQ(20, s.textStartX);
    EXPECT_EQ(100, s.textStartY);
    ParseTextSettings("<textstart y=\"100\" x=\"20\" />", s);
    EXPECT_EQ(100, s.textStartX);
    EXPECT_EQ(100, s.textStartY);
}

TEST_F(SettingsTest, ColoursAreChainedAndPacked) {
    ParseTextSettings("<backgroundcolor red=\"0\" green=\"0\" blue=\"128\" transparent=\"0\" />", s);
    EXPECT_EQ(0x800000u, s.backgroundColor);
    EXPECT_EQ(0, s.transparent);

    ParseTextSettings("<backgroundcolor red=\"255\" green=\"0\" />", s);
    EXPECT_EQ(0x800000u, s.backgroundColor);
    EXPECT_EQ(0, s.transparent);

    ParseTextSettings("<backgroundcolor transparent=\"1\" />", s);
    EXPECT_EQ(0x800000u, s.backgroundColor);
    EXPECT_EQ(1, s.transparent);

    ParseTextSettings("<textcolor red=\"300\" green=\"-1\" blue=\"0\" />", s);
    EXPECT_EQ(0x00FF2Cu, s.textColor);
}

TEST_F(SettingsTest, FontAndExecutable) {
    ParseTextSettings("<font face=\"Courier New\" />", s);
    EXPECT_EQ("courier new", s.fontFace);
    EXPECT_EQ(600, s.fontWeight);
    EXPECT_EQ(1, s.fontExtra);
    EXPECT_EQ(16, s.fontPoints);

    ParseTextSettings("<font weight=\"5000\" extra=\"-2\" points=\"-9\" /><executable name=\"C:\\App.EXE\" />", s);
    EXPECT_EQ(5000, s.fontWeight);
    EXPECT_EQ(-2, s.fontExtra);
    EXPECT_EQ(-9, s.fontPoints);
    EXPECT_EQ("c:\\app.exe", s.executablePath);
}

TEST_F(SettingsTest, AlignmentKeywords) {
    ParseTextSettings("<textalign value=\"Right\" />", s);
    EXPECT_EQ(2, s.textAlign);
    ParseTextSettings("<textalign value=\"middle\" />", s);
    EXPECT_EQ(2, s.textAlign);
    ParseTextSettings("<textalign value=\"center\" />", s);
    EXPECT_EQ(1, s.textAlign);
}

TEST_F(SettingsTest, SettingsAccumulateAcrossElements) {
    ParseTextSettings("<textalign value=\"right\" /><font points=\"20\" /><textstart x=\"5\" y=\"6\" />", s);
    ParseTextSettings("<textcolor red=\"1\" green=\"2\" blue=\"3\" />", s);
    EXPECT_EQ(2, s.textAlign);
    EXPECT_EQ(20, s.fontPoints);
    EXPECT_EQ(5, s.textStartX);
    EXPECT_EQ(0x030201u, s.textColor);
}

}  // namespace
}  // namespace paneloom
