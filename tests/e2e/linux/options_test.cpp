// The real program asked --variables, --check and --preview: what each
// prints, and that none of them writes a file, a log or a wallpaper setting.
#include <png.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/linux/gnome_session.h"
#include "e2e/program_runner.h"
#include "support/bmp_maker.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::GnomeKeyfileSession;
using testing::ProgramPath;
using testing::RunCommand;
using testing::ScratchDir;
using testing::WithSanitizerOptions;

// A GNOME session of the scratch directory's own, so that a wallpaper
// change would show in its settings.
std::vector<std::string> SessionEnvironment(const ScratchDir& scratch) {
    return WithSanitizerOptions({"HOME=" + scratch.path().string(), "PATH=/usr/bin:/bin", "XDG_CURRENT_DESKTOP=GNOME",
                                 "GSETTINGS_BACKEND=keyfile",
                                 "XDG_CONFIG_HOME=" + (scratch.path() / "config").string()});
}

// The sample configuration without its disk line, whose free space may
// change between two runs, on a pattern picture of its size.
void WriteSample(const ScratchDir& scratch, const std::string& name = "paneloom.xml") {
    std::FILE* file = std::fopen(PANELOOM_SAMPLE_CONFIG, "rb");
    ASSERT_NE(nullptr, file);
    std::string sample;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) sample.append(buffer, n);
    std::fclose(file);
    const std::size_t disk = sample.find("    <textline>Disk: %VOLUME_C_INFO%</textline>\n");
    ASSERT_NE(std::string::npos, disk);
    sample.erase(disk, sample.find('\n', disk) + 1 - disk);
    scratch.Write(name, sample);
    scratch.Write("sample-input.bmp", testing::MakeBmp(testing::PatternBmp(1280, 720, 24)));
}

std::string HostName() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

struct Png {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> rgb;
};

bool ReadPng(const std::string& path, Png& png) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    png.width = image.width;
    png.height = image.height;
    png.rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, png.rgb.data(), 0, nullptr) != 0;
}

TEST(LinuxOptions, VariablesListsEveryNameWithItsValueHereAndChangesNothing) {
    ScratchDir scratch;
    WriteSample(scratch);
    const auto before = scratch.Names();
    const auto result = RunCommand({ProgramPath(), "--variables"}, SessionEnvironment(scratch), scratch.path().string());
    EXPECT_EQ(0, result.code);
    EXPECT_EQ(0u, result.output.find("%HOSTNAME%\t" + HostName() + "\n%DOMAIN%\t")) << result.output;
    // One name and its value a line, in the order of substitution.
    EXPECT_NE(std::string::npos, result.output.find("\n%ADAPTER_IP_LIST%\t"));
    EXPECT_LT(result.output.find("%OS%\t"), result.output.find("%USERNAME%\t"));
    EXPECT_NE(std::string::npos, result.output.find("\n%EXECUTABLE_COPYRIGHT%\t"));
    EXPECT_EQ(before, scratch.Names());
    EXPECT_EQ("'zoom'\n", GnomeKeyfileSession::Get("picture-options"));
}

TEST(LinuxOptions, CheckNamesTheLineAndTheNearestNameAndIsSilentOnTheSample) {
    ScratchDir scratch;
    scratch.Write("desk.xml", "<displayoutput>\n  <output>\n    <textlne>%HOSTNAME%</textlne>\n  </output>\n</displayoutput>\n");
    scratch.Write("Paneloom.bmp", testing::MakeBmp(testing::PatternBmp(640, 480, 24)));
    WriteSample(scratch);
    const auto before = scratch.Names();
    const auto env = SessionEnvironment(scratch);

    const auto misspelt = RunCommand({ProgramPath(), "--check", "desk.xml"}, env, scratch.path().string());
    EXPECT_EQ(1, misspelt.code);
    EXPECT_EQ("desk.xml:3: unknown element <textlne>, ignored: did you mean textline?\n", misspelt.output);

    const auto sample = RunCommand({ProgramPath(), "--check"}, env, scratch.path().string());
    EXPECT_EQ(0, sample.code) << sample.output;
    EXPECT_EQ("", sample.output);
    EXPECT_EQ("", sample.errors);
    EXPECT_EQ(before, scratch.Names());
}

TEST(LinuxOptions, CheckFindsWhatOnlyARunShows) {
    ScratchDir scratch;
    scratch.Write("desk.xml",
                  "<globalsettings>\n<inputbmp name=\"in.bmp\" />\n</globalsettings>\n<displayoutput><output>\n"
                  "<textat x=\"10\" y=\"10\" string=\"seen\" />\n<textat x=\"10\" y=\"900\" string=\"below\" />\n"
                  "</output></displayoutput>\n");
    const auto env = SessionEnvironment(scratch);
    const auto missing = RunCommand({ProgramPath(), "--check", "desk.xml"}, env, scratch.path().string());
    EXPECT_EQ(1, missing.code);
    EXPECT_EQ("desk.xml:2: the input picture \"in.bmp\" cannot be read: a run ends here with exit code 3\n",
              missing.output);

    scratch.Write("in.bmp", testing::MakeBmp(testing::PatternBmp(64, 48, 24)));
    const auto outside = RunCommand({ProgramPath(), "--check", "desk.xml"}, env, scratch.path().string());
    EXPECT_EQ(1, outside.code);
    EXPECT_EQ("desk.xml:6: text \"below\" at 10,900 falls wholly outside the 64x48 picture\n", outside.output);
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
    EXPECT_FALSE(scratch.Exists("PaneloomInfo.bmp"));
}

TEST(LinuxOptions, PreviewDrawsTheRunsPictureAndWritesNothingElse) {
    ScratchDir ran;
    WriteSample(ran);
    ASSERT_EQ(0, RunCommand({ProgramPath()}, WithSanitizerOptions({"PATH=/usr/bin:/bin", "HOME=" + ran.path().string()}),
                            ran.path().string())
                     .code);
    const std::string written = ran.Read("sample-output.bmp");

    ScratchDir previewed;
    WriteSample(previewed);
    const auto env = SessionEnvironment(previewed);
    const auto png = RunCommand({ProgramPath(), "--preview", "out.png"}, env, previewed.path().string());
    EXPECT_EQ(0, png.code) << png.errors;
    const auto bmp = RunCommand({ProgramPath(), "--preview", "out.bmp", "paneloom.xml"}, env, previewed.path().string());
    EXPECT_EQ(0, bmp.code) << bmp.errors;
    EXPECT_EQ((std::vector<std::string>{"out.bmp", "out.png", "paneloom.xml", "sample-input.bmp"}),
              previewed.Names());
    EXPECT_EQ("'zoom'\n", GnomeKeyfileSession::Get("picture-options"));
    EXPECT_EQ(written, previewed.Read("out.bmp"));

    Png picture;
    ASSERT_TRUE(ReadPng(previewed.file("out.png"), picture));
    ASSERT_EQ(1280u, picture.width);
    ASSERT_EQ(720u, picture.height);
    const std::string bits = written.substr(testing::U32At(written, 10));
    std::size_t differing = 0;
    for (std::uint32_t y = 0; y < picture.height; ++y) {
        for (std::uint32_t x = 0; x < picture.width; ++x) {
            const std::uint32_t colour = testing::StoredColour(bits, "", 1280, 24, static_cast<std::int32_t>(x),
                                                               static_cast<std::int32_t>(719 - y));
            const std::uint8_t* p = &picture.rgb[(y * picture.width + x) * 3];
            if (p[0] != (colour & 0xFF) || p[1] != ((colour >> 8) & 0xFF) || p[2] != ((colour >> 16) & 0xFF)) {
                ++differing;
            }
        }
    }
    EXPECT_EQ(0u, differing);
}

TEST(LinuxOptions, PreviewWithoutItsFileIsAUsageErrorThatRunsNothing) {
    ScratchDir scratch;
    WriteSample(scratch);
    const auto result = RunCommand({ProgramPath(), "--preview"}, SessionEnvironment(scratch), scratch.path().string());
    EXPECT_EQ(64, result.code);
    EXPECT_EQ("usage: --preview OUT [FILE] (see --help)\n", result.errors);
    EXPECT_FALSE(scratch.Exists("sample-output.bmp"));
}

}  // namespace
}  // namespace paneloom
