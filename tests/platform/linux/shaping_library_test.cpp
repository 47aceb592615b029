// Opening HarfBuzz and FriBidi by name at run time: every function found,
// or nothing at all.
#include "platform/linux/text/shaping_library.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/linux/text/runs.h"

namespace paneloom::platform::lnx {
namespace {

bool Complete(const ShapingLibrary& library) {
    bool all = true;
#define PANELOOM_EXPECT_FOUND(name) all = all && library.name != nullptr;
    PANELOOM_HARFBUZZ_FUNCTIONS(PANELOOM_EXPECT_FOUND)
    PANELOOM_FRIBIDI_FUNCTIONS(PANELOOM_EXPECT_FOUND)
#undef PANELOOM_EXPECT_FOUND
    return all;
}

TEST(ShapingLibrary, OpensOnlyWhenBothLibrariesHaveEveryFunction) {
    struct Case {
        const char* what;
        const char* harfbuzz;
        const char* fribidi;
        bool opened;
    };
    const Case cases[] = {
        {"the sonames", "libharfbuzz.so.0", "libfribidi.so.0", true},
        {"no HarfBuzz", "libharfbuzz-missing.so.0", "libfribidi.so.0", false},
        {"no FriBidi", "libharfbuzz.so.0", "libfribidi-missing.so.0", false},
        {"FriBidi's functions missing", "libharfbuzz.so.0", "libz.so.1", false},
        {"HarfBuzz's functions missing", "libfribidi.so.0", "libfribidi.so.0", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto library = OpenShapingLibrary(c.harfbuzz, c.fribidi);
        ASSERT_EQ(library != nullptr, c.opened);
        if (library) {
            EXPECT_TRUE(Complete(*library));
        }
    }
    ASSERT_NE(SystemShaping(), nullptr);
    EXPECT_EQ(SystemShaping(), SystemShaping());
}

// Without the libraries a line is one level, left to right, of no script
// that needs shaping, and only the joiners continue a cluster.
TEST(ShapingLibrary, WithoutItRunsAreLeftToRightAndUnshaped) {
    const std::u32string line = U"ab \u05D5\u05E9 \u0628\u0651\u0628 \u0915\u0941";
    struct Case {
        const char* what;
        ShapingSource shaping;
        bool rightToLeft;
        bool shaped;
        bool marksContinue;
    };
    const Case cases[] = {
        {"system libraries", SystemShaping, true, true, true},
        {"none", NoShaping, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::uint8_t> levels = BidiLevels(line, c.shaping);
        const std::vector<hb_script_t> scripts = Scripts(line, c.shaping);
        ASSERT_EQ(levels.size(), line.size());
        ASSERT_EQ(scripts.size(), line.size());
        EXPECT_EQ(levels[0], 0);
        EXPECT_EQ(levels[3] % 2 == 1, c.rightToLeft);      // vav
        EXPECT_EQ(NeedsShaping(scripts[6]), c.shaped);     // beh
        EXPECT_EQ(NeedsShaping(scripts[10]), c.shaped);    // ka
        EXPECT_FALSE(NeedsShaping(scripts[0]));
        EXPECT_EQ(ContinuesCluster(U'\u0651', c.shaping), c.marksContinue);
        EXPECT_TRUE(ContinuesCluster(U'\u200D', c.shaping));
        EXPECT_FALSE(ContinuesCluster(U'a', c.shaping));
    }
}

}  // namespace
}  // namespace paneloom::platform::lnx
