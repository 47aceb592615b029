// The real Linux program, started in a scratch directory.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/program_runner.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::RunWithArguments;
using testing::ScratchDir;

std::vector<std::string> DirectoryListing(const std::filesystem::path& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path)) names.push_back(entry.path().filename().string());
    return names;
}

TEST(LinuxProgram, NoConfigurationWritesNothingAndExitsZero) {
    ScratchDir scratch;
    EXPECT_EQ(0, RunWithArguments({"paneloom"}, scratch.path().string()));
    EXPECT_TRUE(DirectoryListing(scratch.path()).empty());
}

TEST(LinuxProgram, ConfigAttributeReadsFromTheCurrentDirectory) {
    ScratchDir scratch;
    scratch.Write("desk.xml", "<globalsettings><inputbmp name=\"Missing.bmp\"/></globalsettings>");
    EXPECT_EQ(3, RunWithArguments({"paneloom", "config=desk.xml"}, scratch.path().string()));
    const std::string log = scratch.Read("paneloomerror.log");
    EXPECT_NE(std::string::npos, log.find(" : Could not LoadImage <missing.bmp>!\n\n"));
}

TEST(LinuxProgram, SecondArgumentIsTheConfigurationAndTheDirectoryStays) {
    ScratchDir scratch;
    std::filesystem::create_directory(scratch.path() / "cfg");
    scratch.Write("cfg/desk.xml", "<globalsettings><usescreendepth/></globalsettings>");
    EXPECT_EQ(2, RunWithArguments({testing::ProgramPath(), "cfg/desk.xml"}, scratch.path().string()));
    EXPECT_TRUE(scratch.Exists("paneloomerror.log"));
    EXPECT_FALSE(scratch.Exists("cfg/paneloomerror.log"));
}

TEST(LinuxProgram, ExistingLogIsAppendedTo) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml", "<globalsettings></globalsettings>");
    scratch.Write("paneloomerror.log", "before\n");
    EXPECT_EQ(3, RunWithArguments({"paneloom"}, scratch.path().string()));
    EXPECT_EQ(3, RunWithArguments({"paneloom"}, scratch.path().string()));
    const std::string log = scratch.Read("paneloomerror.log");
    EXPECT_EQ(0u, log.find("before\n"));
    EXPECT_NE(log.find("Could not LoadImage <Paneloom.bmp>!"), log.rfind("Could not LoadImage <Paneloom.bmp>!"));
}

}  // namespace
}  // namespace paneloom
