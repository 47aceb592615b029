#include <gtest/gtest.h>

#include "config/run_settings.h"
#include "config/settings_elements.h"

namespace paneloom {
namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSettingsForTest(); }
    void TearDown() override { ResetSettingsForTest(); }
    RunSettings& s = Settings();
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
                        "<backgroundstyle VALUE=\"Stretch\" />");
    EXPECT_EQ("d:\\pics\\sky.bmp", s.inputBitmapPath);
    EXPECT_EQ("out.bmp", s.outputBitmapPath);
    EXPECT_EQ(2, s.backgroundStyle);
    EXPECT_FALSE(s.useScreenDepth);
}

TEST_F(SettingsTest, BackgroundStyleKeywords) {
    ParseGlobalSettings("<backgroundstyle value=\"Tile\" />");
    EXPECT_EQ(1, s.backgroundStyle);
    ParseGlobalSettings("<backgroundstyle value=\" tile\" />");
    EXPECT_EQ(1, s.backgroundStyle);
    ParseGlobalSettings("<backgroundstyle value=\"center\" />");
    EXPECT_EQ(0, s.backgroundStyle);
    ParseGlobalSettings("<backgroundstyle />");
    EXPECT_EQ(0, s.backgroundStyle);
}

TEST_F(SettingsTest, UseScreenDepthIsPresenceOnlyAndAssignedEveryCall) {
    ParseGlobalSettings("<usescreendepth value=\"no\" />");
    EXPECT_TRUE(s.useScreenDepth);
    ParseGlobalSettings("<inputbmp file=\"x.bmp\" />");
    EXPECT_FALSE(s.useScreenDepth);
    EXPECT_EQ("Paneloom.bmp", s.inputBitmapPath);
    // Child tag names stay case-sensitive.
    ParseGlobalSettings("<UseScreenDepth />");
    EXPECT_FALSE(s.useScreenDepth);
}

TEST_F(SettingsTest, TextStartReadsTheFirstAttributeWrittenForX) {
    ParseTextSettings("<textstart x=\"20\" y=\"100\" />");
    EXPECT_EQ(20, s.textStartX);
    EXPECT_EQ(100, s.textStartY);
    ParseTextSettings("<textstart y=\"100\" x=\"20\" />");
    EXPECT_EQ(100, s.textStartX);
    EXPECT_EQ(100, s.textStartY);
}

TEST_F(SettingsTest, ColoursAreChainedAndPacked) {
    ParseTextSettings("<backgroundcolor red=\"0\" green=\"0\" blue=\"128\" transparent=\"0\" />");
    EXPECT_EQ(0x800000u, s.backgroundColor);
    EXPECT_EQ(0, s.transparent);

    ParseTextSettings("<backgroundcolor red=\"255\" green=\"0\" />");
    EXPECT_EQ(0x800000u, s.backgroundColor);
    EXPECT_EQ(0, s.transparent);

    ParseTextSettings("<backgroundcolor transparent=\"1\" />");
    EXPECT_EQ(0x800000u, s.backgroundColor);
    EXPECT_EQ(1, s.transparent);

    ParseTextSettings("<textcolor red=\"300\" green=\"-1\" blue=\"0\" />");
    EXPECT_EQ(0x00FF2Cu, s.textColor);
}

TEST_F(SettingsTest, FontAndExecutable) {
    ParseTextSettings("<font face=\"Courier New\" />");
    EXPECT_EQ("courier new", s.fontFace);
    EXPECT_EQ(600, s.fontWeight);
    EXPECT_EQ(1, s.fontExtra);
    EXPECT_EQ(16, s.fontPoints);

    ParseTextSettings("<font weight=\"5000\" extra=\"-2\" points=\"-9\" /><executable name=\"C:\\App.EXE\" />");
    EXPECT_EQ(5000, s.fontWeight);
    EXPECT_EQ(-2, s.fontExtra);
    EXPECT_EQ(-9, s.fontPoints);
    EXPECT_EQ("c:\\app.exe", s.executablePath);
}

TEST_F(SettingsTest, AlignmentKeywords) {
    ParseTextSettings("<textalign value=\"Right\" />");
    EXPECT_EQ(2, s.textAlign);
    ParseTextSettings("<textalign value=\"middle\" />");
    EXPECT_EQ(2, s.textAlign);
    ParseTextSettings("<textalign value=\"center\" />");
    EXPECT_EQ(1, s.textAlign);
}

TEST_F(SettingsTest, SettingsAccumulateAcrossElements) {
    ParseTextSettings("<textalign value=\"right\" /><font points=\"20\" /><textstart x=\"5\" y=\"6\" />");
    ParseTextSettings("<textcolor red=\"1\" green=\"2\" blue=\"3\" />");
    EXPECT_EQ(2, s.textAlign);
    EXPECT_EQ(20, s.fontPoints);
    EXPECT_EQ(5, s.textStartX);
    EXPECT_EQ(0x030201u, s.textColor);
}

}  // namespace
}  // namespace paneloom
