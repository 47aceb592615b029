#include "app/config_path.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace paneloom {
namespace {

using testing::FakeProcess;

class CommandLineTest : public ::testing::Test {
protected:
    // Resolves the configuration for a command line through a fake process.
    void Resolve(const std::string& line) {
        platform::ScopedFake<platform::Process> fake(process);
        ResolveConfigPath(line, settings);
    }

    FakeProcess process;
    RunSettings settings;
};

TEST_F(CommandLineTest, QuotedArgumentIsTheSecondQuotedToken) {
    std::string path = "kept";
    EXPECT_TRUE(GetQuotedArgument("\"C:\\Tools\\prog.exe\" \"desk.xml\"", path));
    EXPECT_EQ("desk.xml", path);
    path = "kept";
    EXPECT_FALSE(GetQuotedArgument("prog.exe \"desk.xml\"", path));
    EXPECT_FALSE(GetQuotedArgument("\"a\" \"b", path));
    EXPECT_EQ("kept", path);
}

TEST_F(CommandLineTest, ExecutableDirectoryIsUpToTheLastBackslash) {
    std::string directory = "kept";
    EXPECT_TRUE(GetExecutableDirectory("\"C:\\Tools\\bin\\prog.exe\" x", directory));
    EXPECT_EQ("C:\\Tools\\bin", directory);
    EXPECT_TRUE(GetExecutableDirectory("\"C:\\prog.exe\"", directory));
    EXPECT_EQ("C:", directory);
    directory = "kept";
    EXPECT_FALSE(GetExecutableDirectory("\"prog.exe\" \"x\"", directory));
    EXPECT_FALSE(GetExecutableDirectory("prog.exe", directory));
    EXPECT_FALSE(GetExecutableDirectory("C:\\x\\prog.exe \"", directory));
    EXPECT_EQ("kept", directory);
}

TEST_F(CommandLineTest, SecondQuotedTokenMovesToTheProgramDirectory) {
    Resolve("\"C:\\Tools\\prog.exe\" \"desk.xml\"");
    EXPECT_EQ("desk.xml", settings.configPath);
    ASSERT_EQ(1u, process.directoryChanges.size());
    EXPECT_EQ("C:\\Tools", process.directoryChanges[0]);
}

TEST_F(CommandLineTest, ConfigAttributeWinsAndKeepsTheDirectory) {
    Resolve("\"C:\\Tools\\prog.exe\" config=\"desk.xml\"");
    EXPECT_EQ("desk.xml", settings.configPath);
    EXPECT_TRUE(process.directoryChanges.empty());

    Resolve("prog.exe /config = \"D:\\cfg\\a.xml\" \"ignored\"");
    EXPECT_EQ("D:\\cfg\\a.xml", settings.configPath);
    EXPECT_TRUE(process.directoryChanges.empty());
}

TEST_F(CommandLineTest, ConfigInsideTheProgramPathFallsThroughToTheQuotedToken) {
    Resolve("\"C:\\config\\prog.exe\" \"desk.xml\"");
    EXPECT_EQ("desk.xml", settings.configPath);
    ASSERT_EQ(1u, process.directoryChanges.size());
    EXPECT_EQ("C:\\config", process.directoryChanges[0]);
}

TEST_F(CommandLineTest, UnquotedValuesAndBareProgramKeepTheDefault) {
    Resolve("prog.exe \"desk.xml\"");
    EXPECT_EQ("paneloom.xml", settings.configPath);
    Resolve("prog.exe config=desk.xml");
    EXPECT_EQ("paneloom.xml", settings.configPath);
    Resolve("");
    EXPECT_EQ("paneloom.xml", settings.configPath);
    EXPECT_TRUE(process.directoryChanges.empty());
}

}  // namespace
}  // namespace paneloom
