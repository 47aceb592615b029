// GNOME, Cinnamon and MATE keep the wallpaper in GSettings, stored by the
// real dconf service on the session bus; each reads it back as gsettings
// does.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "desktops/linux/desktop_session.h"
#include "desktops/linux/screen.h"

namespace paneloom {
namespace {

using testing::DesktopSession;

struct GSettingsDesktop {
    const char* name;            // for the test's name
    const char* currentDesktop;  // XDG_CURRENT_DESKTOP
    const char* schema;
    const char* pictureKey;
    bool pictureIsUri;
    const char* darkPictureKey;  // null where the schema has none
};

const GSettingsDesktop kDesktops[] = {
    {"Gnome", "ubuntu:GNOME", "org.gnome.desktop.background", "picture-uri", true, "picture-uri-dark"},
    {"Cinnamon", "X-Cinnamon", "org.cinnamon.desktop.background", "picture-uri", true, nullptr},
    {"Mate", "MATE", "org.mate.background", "picture-filename", false, nullptr},
};

void PrintTo(const GSettingsDesktop& desktop, std::ostream* out) { *out << desktop.name; }

// The string that gsettings prints as a GVariant text literal.
std::string StringFromGVariantText(const std::string& printed) {
    std::string text;
    if (printed.size() < 3 || (printed[0] != '\'' && printed[0] != '"')) return "not a string: " + printed;
    for (std::size_t i = 1; i + 2 < printed.size(); ++i) {
        if (printed[i] == '\\') ++i;
        text += printed[i];
    }
    return text;
}

std::string PathFromFileUri(const std::string& uri) {
    if (uri.rfind("file:///", 0) != 0) return "not a file URI: " + uri;
    std::string path;
    for (std::size_t i = 7; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size()) {
            path += static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            path += uri[i];
        }
    }
    return path;
}

class GSettingsDesktopTest : public ::testing::TestWithParam<GSettingsDesktop> {};

TEST_P(GSettingsDesktopTest, EveryStyleAndThePictureReachTheDconfService) {
    const GSettingsDesktop& desktop = GetParam();
    ASSERT_TRUE(testing::Installed("gsettings", "libglib2.0-bin"));
    ASSERT_TRUE(testing::Installed("gdbus", "libglib2.0-bin"));
    ASSERT_TRUE(testing::Activatable("ca.desrt.dconf", "dconf-service"));
    DesktopSession session;
    ASSERT_TRUE(session.StartBus());
    session.Set("XDG_CURRENT_DESKTOP", desktop.currentDesktop);
    auto get = [&](const std::string& key) {
        const testing::CommandResult read = session.Run({"gsettings", "get", desktop.schema, key});
        EXPECT_EQ(0, read.code) << key << ": " << read.errors;
        return read.output;
    };
    ASSERT_EQ("'zoom'\n", get("picture-options")) << "a new session starts from the schema's defaults";

    // The program runs in a folder whose name a URI must encode and a
    // GVariant literal escape.
    const std::string folder = "Bilder von O'Brien \xC3\xBC #1 100%";
    session.MakeDirectory(folder);
    session.Write(folder + "/Paneloom.bmp", testing::FourColourPicture().Bmp());
    const std::string output = (session.WorkDirectory() / folder / "PaneloomInfo.bmp").string();
    const std::vector<std::pair<std::string, std::string>> styles = {
        {"center", "'centered'\n"}, {"tile", "'wallpaper'\n"}, {"stretch", "'stretched'\n"}};
    for (const auto& [style, option] : styles) {
        session.Write(folder + "/paneloom.xml",
                      "<globalsettings><backgroundstyle value=\"" + style + "\"/></globalsettings>");
        const testing::CommandResult run = session.RunProgram(folder);
        ASSERT_EQ(0, run.code) << style << ": " << run.errors;
        ASSERT_TRUE(std::filesystem::exists(output));
        EXPECT_EQ(option, get("picture-options")) << style;
        const std::string picture = StringFromGVariantText(get(desktop.pictureKey));
        EXPECT_EQ(output, desktop.pictureIsUri ? PathFromFileUri(picture) : picture) << style;
        if (desktop.darkPictureKey != nullptr) {
            EXPECT_EQ(picture, StringFromGVariantText(get(desktop.darkPictureKey))) << style;
        }
    }
    EXPECT_TRUE(session.BusNameOwned("ca.desrt.dconf")) << "the dconf service on the session's own bus stored them";
}

INSTANTIATE_TEST_SUITE_P(Desktops, GSettingsDesktopTest, ::testing::ValuesIn(kDesktops),
                         [](const ::testing::TestParamInfo<GSettingsDesktop>& info) { return info.param.name; });

}  // namespace
}  // namespace paneloom
