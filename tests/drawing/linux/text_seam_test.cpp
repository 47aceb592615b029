// The Linux build's device-context text calls: what a GDI context would
// answer, and drawing that stays within the memory the bitmap itself takes.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "config/run_settings.h"
#include "drawing/canvas.h"
#include "platform/linux/drawing/objects.h"
#include "platform/text_output.h"
#include "render/text_items.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::Canvas;

platform::TextOutput& Output() { return platform::Get<platform::TextOutput>(); }

TEST(LinuxTextOutput, TheScreenHas96PixelsPerInchAndNothingToDrawOn) {
    const platform::DcHandle screen = platform::Get<platform::Graphics>().GetScreenDC();
    ASSERT_NE(nullptr, screen);
    EXPECT_EQ(96, Output().DeviceCaps(screen, platform::kLogPixelsY));
    EXPECT_EQ(96, Output().DeviceCaps(screen, platform::kLogPixelsX));
    platform::DevicePoint point{3, -21};
    EXPECT_TRUE(Output().DeviceToLogical(screen, &point, 1));
    EXPECT_EQ(-21, point.y);
    platform::TextExtent extent;
    EXPECT_TRUE(Output().MeasureString(screen, "abc", extent));
    EXPECT_GT(extent.cx, 0);
    EXPECT_FALSE(Output().WriteString(screen, 0, 0, "abc"));
    platform::Get<platform::Graphics>().ReleaseScreenDC(screen);
}

TEST(LinuxTextOutput, AttributesAnswerWithTheirPreviousValues) {
    Canvas canvas(10, 10, 0);
    const platform::DcHandle dc = canvas.dc();
    EXPECT_EQ(0xFFFFFFu, Output().SetBackgroundColor(dc, 0x01123456));
    EXPECT_EQ(0x123456u, Output().SetBackgroundColor(dc, 0));  // the palette byte does not count
    EXPECT_EQ(0x000000u, Output().SetForegroundColor(dc, 0x00ABCDEF));
    EXPECT_EQ(platform::BackgroundMode::kOpaque, Output().SetBackgroundMode(dc, platform::BackgroundMode::kTransparent));
    EXPECT_EQ(platform::BackgroundMode::kTransparent, Output().SetBackgroundMode(dc, platform::BackgroundMode::kOpaque));
    EXPECT_EQ(0, Output().SetCharacterExtra(dc, -4));
    EXPECT_EQ(-4, Output().SetCharacterExtra(dc, 0));
}

TEST(LinuxTextOutput, AFontDeletedWhileSelectedLivesUntilItIsDeselected) {
    Canvas canvas(200, 40, 0);
    const platform::DcHandle dc = canvas.dc();
    platform::LogFontRecord record;
    record.height = -30;
    const platform::FontHandle font = Output().CreateFontFromRecord(record);
    ASSERT_NE(nullptr, font);
    const platform::FontHandle stock = Output().SelectFontObject(dc, font);
    EXPECT_EQ(platform::lnx::StockFont(), stock);
    Output().DeleteFontObject(font);
    platform::TextExtent extent;
    ASSERT_TRUE(Output().MeasureString(dc, "x", extent));
    EXPECT_GE(extent.cy, 30);  // still the deleted font
    EXPECT_EQ(font, Output().SelectFontObject(dc, stock));
    // Deselecting released it (the sanitizer build sees a leak otherwise).
    Output().DeleteFontObject(stock);  // the stock font is never deleted
    ASSERT_TRUE(Output().MeasureString(dc, "x", extent));
}

TEST(LinuxTextOutput, AnOpaqueCellOfNegativeWidthPaintsNothing) {
    Canvas canvas(200, 40, 0xFFFFFF);
    const platform::DcHandle dc = canvas.dc();
    platform::TextExtent one;
    ASSERT_TRUE(Output().MeasureString(dc, "l", one));
    // Two characters whose spacing makes the cell 2^32 - 50 pixels wide to
    // the left: in 32 bits its right edge would wrap round to x + 50.
    const int extra = static_cast<int>(-2147483648LL + 25 - one.cx);
    Output().SetCharacterExtra(dc, extra);
    Output().SetBackgroundColor(dc, 0x0000FF);
    Output().SetForegroundColor(dc, 0xFFFFFF);  // glyphs invisible on white
    EXPECT_TRUE(Output().WriteString(dc, 10, 5, "ll"));
    for (std::int32_t y = 0; y < 40; ++y)
        for (std::int32_t x = 0; x < 200; ++x) ASSERT_EQ(0xFFFFFFu, canvas.Pixel(x, y)) << x << "," << y;
}

// Pages of address space the process holds now (unused under the sanitizer,
// which skips the one test that asks).
[[maybe_unused]] long AddressSpacePages() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    statm >> pages;
    return pages;
}

#if defined(__SANITIZE_ADDRESS__)
#define PANELOOM_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PANELOOM_UNDER_ASAN 1
#endif
#endif

TEST(LinuxTextOutput, HostileItemsNeedNoMoreMemoryThanTheBitmapTakes) {
#ifdef PANELOOM_UNDER_ASAN
    GTEST_SKIP() << "the sanitizer reserves address space of its own";
#else
    testing::ScratchDir scratch;
    const RunSettings settings;
    const std::int32_t width = 3840;
    const std::int32_t height = 2160;
    Canvas canvas(width, height, 0);
    // Fonts, faces and fontconfig are loaded before the limit is set, as a
    // run has loaded them by its first item.
    DrawTextItems(canvas.dc(), "<textat string=\"warm\" /><textat weight=\"5000\" string=\"warm\" />", settings);

    std::string printable;
    for (int c = 0x20; c < 0x100; ++c)
        if (c != '"') printable.push_back(static_cast<char>(c));
    const std::string longLine(10000, 'W');
    const std::string hostile =
        "<textat x=\"-100\" y=\"-100\" points=\"2147483647\" transparent=\"0\" bgcolor=\"0000FF\" string=\"" +
        printable + "\" /><textat x=\"0\" y=\"1000\" points=\"-100000\" weight=\"5000\" string=\"" + printable +
        "\" /><textat x=\"3000\" y=\"1500\" points=\"1400\" string=\"" + longLine +
        "\" /><textat x=\"0\" y=\"2000\" points=\"16\" transparent=\"0\" bgcolor=\"00FF00\" extra=\"3\" string=\"" +
        longLine + "\" />";

    const long pageSize = sysconf(_SC_PAGESIZE);
    const rlim_t bitmapBytes = static_cast<rlim_t>(width) * height * 4;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlim_t limit = static_cast<rlim_t>(AddressSpacePages()) * pageSize + bitmapBytes;
        const rlimit bound{limit, limit};
        if (setrlimit(RLIMIT_AS, &bound) != 0) _exit(2);
        DrawTextItems(canvas.dc(), hostile, settings);
        // A failed allocation would have been logged; drawing must also
        // have happened.
        if (scratch.Exists("paneloomerror.log")) _exit(3);
        if (canvas.Pixel(0, 0) != 0x0000FF) _exit(4);
        if (canvas.Pixel(3839, 2000) != 0x00FF00) _exit(5);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status)) << "the drawing process ended abnormally";
    EXPECT_EQ(0, WEXITSTATUS(status));
#endif
}

}  // namespace
}  // namespace paneloom
