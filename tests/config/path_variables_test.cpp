#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "config/path_variables.h"
#include "support/fakes.h"
#include "support/scoped_variable.h"

namespace paneloom {
namespace {

struct ExpansionCase {
    const char* what;
    const char* path;
    const char* expanded;
    bool replaced;
};

void PrintTo(const ExpansionCase& c, std::ostream* out) { *out << c.what; }

// LOCALAPPDATA and A hold paths, B holds a percent sign, EMPTY is set to
// nothing; UNSET is not set.
class PathVariables : public ::testing::TestWithParam<ExpansionCase> {
protected:
    PathVariables() : scope_(environment) {
        environment.variables = {{"LOCALAPPDATA", "C:\\Users\\ann\\AppData\\Local"},
                                 {"A", "alpha"},
                                 {"B", "50%B%"},
                                 {"EMPTY", ""}};
    }

    testing::FakeEnvironment environment;

private:
    platform::ScopedFake<platform::Environment> scope_;
};

TEST_P(PathVariables, ExpandsEachNameOnceLeftToRight) {
    const ExpansionCase& c = GetParam();
    std::string path = c.path;
    EXPECT_EQ(c.replaced, ExpandPathVariables(path));
    EXPECT_EQ(c.expanded, path);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PathVariables,
    ::testing::Values(
        ExpansionCase{"set", "%LOCALAPPDATA%\\Paneloom\\out.bmp", "C:\\Users\\ann\\AppData\\Local\\Paneloom\\out.bmp",
                      true},
        ExpansionCase{"set, in the middle", "x/%A%/y.bmp", "x/alpha/y.bmp", true},
        ExpansionCase{"unset stays as written", "%UNSET%\\out.bmp", "%UNSET%\\out.bmp", false},
        ExpansionCase{"set to nothing stays as written", "%EMPTY%\\out.bmp", "%EMPTY%\\out.bmp", false},
        ExpansionCase{"empty name", "%%A%", "%%A%", false},
        ExpansionCase{"adjacent", "%A%%A%.bmp", "alphaalpha.bmp", true},
        ExpansionCase{"adjacent, the first unset", "%UNSET%%A%", "%UNSET%alpha", true},
        ExpansionCase{"lone percent", "100%.bmp", "100%.bmp", false},
        ExpansionCase{"lone percent after a variable", "%A%100%.bmp", "alpha100%.bmp", true},
        ExpansionCase{"an unset name takes its closing percent along", "%UNSET%A%x", "%UNSET%A%x", false},
        ExpansionCase{"nested-looking", "%%A%%", "%%A%%", false},
        ExpansionCase{"nested-looking, set outside", "%A%A%A%", "alphaAalpha", true},
        ExpansionCase{"a value is not scanned again", "%B%\\%A%", "50%B%\\alpha", true},
        ExpansionCase{"a name with an equals sign", "%A=1%", "%A=1%", false},
        ExpansionCase{"no percent at all", "PaneloomInfo.bmp", "PaneloomInfo.bmp", false}));

TEST(PathVariablesLookup, NoNameIsLookedUpButTheOnesBetweenPercentSigns) {
    testing::FakeEnvironment environment;
    platform::ScopedFake<platform::Environment> scope(environment);
    std::string path = "%%x%A=1%%LOCALAPPDATA%y%";
    ExpandPathVariables(path);
    EXPECT_EQ(std::vector<std::string>{"LOCALAPPDATA"}, environment.lookedUp);
}

// The process's real environment, on each build: set, removed and set to
// nothing, and on Windows found whatever the case of the name (the
// configuration's file names arrive lower-cased there).
struct RealCase {
    const char* what;
    std::optional<std::string> value;
    const char* path;
    const char* expanded;
};

void PrintTo(const RealCase& c, std::ostream* out) { *out << c.what; }

class RealEnvironment : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealEnvironment, ExpandsFromTheProcessEnvironment) {
    const RealCase& c = GetParam();
    testing::ScopedVariable variable("PANELOOM_TEST_FOLDER", c.value);
    std::string path = c.path;
    ExpandPathVariables(path);
    EXPECT_EQ(c.expanded, path);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RealEnvironment,
    ::testing::Values(RealCase{"set", std::string("sub dir"), "%PANELOOM_TEST_FOLDER%/out.bmp", "sub dir/out.bmp"},
                      RealCase{"unset", std::nullopt, "%PANELOOM_TEST_FOLDER%/out.bmp", "%PANELOOM_TEST_FOLDER%/out.bmp"},
                      RealCase{"set to nothing", std::string(), "%PANELOOM_TEST_FOLDER%/out.bmp",
                               "%PANELOOM_TEST_FOLDER%/out.bmp"},
#ifdef _WIN32
                      RealCase{"lower-cased name", std::string("sub"), "%paneloom_test_folder%\\out.bmp", "sub\\out.bmp"}
#else
                      RealCase{"lower-cased name", std::string("sub"), "%paneloom_test_folder%/out.bmp",
                               "%paneloom_test_folder%/out.bmp"}
#endif
                      ));

}  // namespace
}  // namespace paneloom
