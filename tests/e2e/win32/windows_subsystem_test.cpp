// PaneloomW.exe, the build for the Windows subsystem, against Paneloom.exe:
// the same runs end with the same exit codes and leave the same log, though
// no console is there to wait on.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/program_runner.h"
#include "formats/pe_version.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::RunWithCommandLine;
using testing::ScratchDir;

// The build records Unix paths; Wine maps the Unix root to drive Z:.
std::string WinePath(std::string path) {
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path.rfind('\\', 0) == 0 ? "Z:" + path : path;
}

struct ExitCase {
    const char* what;
    const char* configuration;  // nullptr: none
    int code;
    const char* logged;  // nullptr: no log
};

void PrintTo(const ExitCase& c, std::ostream* out) { *out << c.what; }

class WindowsSubsystem : public ::testing::TestWithParam<ExitCase> {};

TEST_P(WindowsSubsystem, EndsAsTheConsoleBuildDoes) {
    const ExitCase& c = GetParam();
    for (const char* program : {PANELOOM_PROGRAM, PANELOOM_WINDOWS_SUBSYSTEM_PROGRAM}) {
        ScratchDir scratch;
        if (c.configuration != nullptr) scratch.Write("paneloom.xml", c.configuration);
        EXPECT_EQ(c.code, RunWithCommandLine("\"" + WinePath(program) + "\"", scratch.path().string())) << program;
        if (c.logged == nullptr) {
            EXPECT_FALSE(scratch.Exists("paneloomerror.log")) << program;
        } else {
            EXPECT_NE(std::string::npos, scratch.Read("paneloomerror.log").find(c.logged)) << program;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowsSubsystem,
    ::testing::Values(ExitCase{"no configuration", nullptr, 0, nullptr},
                      ExitCase{"the picture cannot be loaded", "<globalsettings><inputbmp name=\"Gone.bmp\"/></globalsettings>",
                               3, "Could not LoadImage <gone.bmp>!"},
                      ExitCase{"the picture cannot be read at the screen's depth",
                               "<globalsettings><inputbmp name=\"Gone.bmp\"/><usescreendepth/></globalsettings>", 2,
                               "Could not LoadBMPImage <gone.bmp>!"}));

// Each build's version record names its own file, which Explorer and the
// task manager show.
TEST(WindowsSubsystemRecord, EachProgramNamesItsOwnFile) {
    const std::pair<const char*, const char*> programs[] = {{PANELOOM_PROGRAM, "Paneloom.exe"},
                                                            {PANELOOM_WINDOWS_SUBSYSTEM_PROGRAM, "PaneloomW.exe"}};
    for (const auto& [program, name] : programs) {
        std::ifstream in(program, std::ios::binary);
        const std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        formats::VersionResource record;
        ASSERT_TRUE(record.LoadFromImage(image.data(), image.size())) << program;
        std::string original;
        ASSERT_TRUE(record.QueryString("040904b0", "OriginalFilename", original)) << program;
        EXPECT_EQ(name, original);
    }
}

}  // namespace
}  // namespace paneloom
