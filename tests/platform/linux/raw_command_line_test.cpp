#include "platform/linux/process/raw_command_line.h"

#include <gtest/gtest.h>

#include "app/config_path.h"

namespace paneloom {
namespace {

using platform::lnx::RebuildCommandLine;

TEST(RebuildCommandLine, QuotesProgramAndArguments) {
    EXPECT_EQ("\"/usr/bin/paneloom\"", RebuildCommandLine({"/usr/bin/paneloom"}));
    EXPECT_EQ("\"./paneloom\" \"desk.xml\"", RebuildCommandLine({"./paneloom", "desk.xml"}));
    EXPECT_EQ("\"paneloom\" config=\"desk.xml\"", RebuildCommandLine({"paneloom", "config=desk.xml"}));
    EXPECT_EQ("\"p\" -config=\"a b.xml\"", RebuildCommandLine({"p", "-config=a b.xml"}));
    EXPECT_EQ("\"p\" config=\"x\"", RebuildCommandLine({"p", "config=\"x\""}));
    EXPECT_EQ("\"p\" \"=x\"", RebuildCommandLine({"p", "=x"}));
    EXPECT_EQ("\"p\" \"\"", RebuildCommandLine({"p", ""}));
    // Only a name ending in config is rewritten; any other path holding a
    // "=" stays whole.
    EXPECT_EQ("\"p\" --config=\"a=b.xml\"", RebuildCommandLine({"p", "--config=a=b.xml"}));
    EXPECT_EQ("\"p\" /config=\"x\"", RebuildCommandLine({"p", "/config=x"}));
    EXPECT_EQ("\"p\" \"a=b/desk.xml\"", RebuildCommandLine({"p", "a=b/desk.xml"}));
    EXPECT_EQ("\"p\" \"Config=x\"", RebuildCommandLine({"p", "Config=x"}));
    EXPECT_EQ("\"p\" \"configs=x\"", RebuildCommandLine({"p", "configs=x"}));
    EXPECT_EQ("\"p\" \"onfig=x\"", RebuildCommandLine({"p", "onfig=x"}));
}

TEST(RebuildCommandLine, RebuiltLineFeedsTheCommandLineRules) {
    std::string path;
    ASSERT_EQ(1, GetQuotedArgument(RebuildCommandLine({"./paneloom", "desk.xml"}), path));
    EXPECT_EQ("desk.xml", path);
    // A Linux program path has no backslash: the directory never changes.
    std::string directory;
    EXPECT_EQ(0, GetExecutableDirectory(RebuildCommandLine({"/opt/p/paneloom", "desk.xml"}), directory));
}

}  // namespace
}  // namespace paneloom
