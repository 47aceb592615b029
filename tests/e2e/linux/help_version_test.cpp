// `paneloom --help` and `paneloom --version`, asked alone, answer on
// standard output; with anything else on the line the program runs as ever.
#include <gtest/gtest.h>

#include <string>

#include "e2e/program_runner.h"
#include "platform/linux/process/tool_runner.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using platform::lnx::SystemToolRunner;
using testing::ProgramPath;
using testing::ScratchDir;

// A configuration whose run would log and end with exit code 3.
constexpr const char* kMissingInput = "<globalsettings><inputbmp name=\"Missing.bmp\"/></globalsettings>";

TEST(LinuxCommandLine, HelpAndVersionAnswerAloneAndRunNothing) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml", kMissingInput);
    std::string version;
    ASSERT_TRUE(SystemToolRunner().Run({ProgramPath(), "--version"}, &version));
    EXPECT_EQ(std::string("paneloom ") + PANELOOM_VERSION + "\n", version);
    std::string usage;
    ASSERT_TRUE(SystemToolRunner().Run({ProgramPath(), "--help"}, &usage));
    EXPECT_EQ(0u, usage.find("Usage: paneloom ")) << usage;
    EXPECT_NE(std::string::npos, usage.find("--version"));
    EXPECT_NE(std::string::npos, usage.find("paneloom(1)"));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

TEST(LinuxCommandLine, AnythingMoreIsAnOrdinaryRunThatPrintsNothing) {
    ScratchDir scratch;
    // Rebuilt as `"paneloom" "--help" "extra"`, whose second quoted token
    // names the configuration.
    scratch.Write("--help", kMissingInput);
    EXPECT_EQ(3, testing::RunWithArguments({ProgramPath(), "--help", "extra"}, scratch.path().string()));
    EXPECT_NE(std::string::npos, scratch.Read("paneloomerror.log").find("Could not LoadImage <Missing.bmp>!"));
    std::string output;
    EXPECT_FALSE(SystemToolRunner().Run({ProgramPath(), "--help", "extra"}, &output));
    EXPECT_EQ("", output);
    // No file named -h: nothing to do, exit code 0, and still not a word.
    EXPECT_TRUE(SystemToolRunner().Run({ProgramPath(), "-h"}, &output));
    EXPECT_EQ("", output);
}

}  // namespace
}  // namespace paneloom
