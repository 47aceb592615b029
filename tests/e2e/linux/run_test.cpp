// The real Linux program, started in a scratch directory.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

TEST(LinuxProgram, LogHeldByAnotherProcessDropsTheLineButNotTheExitCode) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml", "<displayoutput></displayoutput>");
    scratch.Write("paneloomerror.log", "held\n");
    const int holder = ::open(scratch.file("paneloomerror.log").c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(0, ::flock(holder, LOCK_EX | LOCK_NB));
    EXPECT_EQ(3, RunWithArguments({"paneloom"}, scratch.path().string()));
    ::close(holder);
    EXPECT_EQ("held\n", scratch.Read("paneloomerror.log"));
}

TEST(LinuxProgram, HostileConfigurationsEndNormally) {
    ScratchDir scratch;
    // A directory where the configuration should be: it cannot be loaded.
    std::filesystem::create_directory(scratch.path() / "paneloom.xml");
    EXPECT_EQ(0, RunWithArguments({"paneloom"}, scratch.path().string()));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
    std::filesystem::remove(scratch.path() / "paneloom.xml");

    // Binary noise, unterminated tags, comments and quotes.
    std::string noise;
    for (int i = 0; i < 4096; ++i) noise += static_cast<char>((i * 7919 + 13) % 255 + 1);
    scratch.Write("paneloom.xml", noise + "<globalsettings><inputbmp name=\"x<!-- <displayoutput><output>");
    EXPECT_EQ(3, RunWithArguments({"paneloom"}, scratch.path().string()));
}

}  // namespace
}  // namespace paneloom
