// The Windows build's text output: a string whose characters mostly land off
// the bitmap is handed to GDI only in the part that can reach it, and draws
// exactly what the whole string draws.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "drawing/canvas.h"
#include "platform/text_output.h"

namespace paneloom {
namespace {

using testing::Canvas;

// Draws `text` at (x, y) in a 40-pixel Arial with the given spacing and
// background mode, either through the seam or with TextOutA itself.
void Draw(const Canvas& canvas, int x, int y, const std::string& text, int extra, int mode, bool throughSeam) {
    const HDC dc = reinterpret_cast<HDC>(canvas.dc());
    LOGFONTA logFont{};
    logFont.lfHeight = -40;
    logFont.lfWeight = FW_BOLD;
    lstrcpyA(logFont.lfFaceName, "Arial");
    const HFONT font = CreateFontIndirectA(&logFont);
    const HGDIOBJ previous = SelectObject(dc, font);
    SetTextCharacterExtra(dc, extra);
    SetBkMode(dc, mode);
    SetBkColor(dc, RGB(0, 0, 255));
    SetTextColor(dc, RGB(255, 255, 0));
    if (throughSeam) {
        EXPECT_TRUE(platform::Get<platform::TextOutput>().WriteString(canvas.dc(), x, y, text));
    } else {
        TextOutA(dc, x, y, text.data(), static_cast<int>(text.size()));
    }
    SelectObject(dc, previous);
    DeleteObject(font);
}

void ExpectSamePixels(const Canvas& a, const Canvas& b) {
    int differences = 0;
    for (std::int32_t y = 0; y < a.height(); ++y)
        for (std::int32_t x = 0; x < a.width(); ++x) differences += a.Pixel(x, y) != b.Pixel(x, y);
    EXPECT_EQ(0, differences);
}

TEST(Win32TextOutput, AStringCutToTheBitmapDrawsWhatTheWholeStringDraws) {
    std::string text;
    for (int i = 0; i < 300; ++i) text.push_back(static_cast<char>('A' + i % 26));
    struct Case {
        int x;
        int y;
        int extra;
        int mode;
    };
    for (const Case c : {Case{-2000, 10, 0, OPAQUE}, Case{-2003, -20, 3, TRANSPARENT}, Case{150, 40, 1, OPAQUE},
                         Case{-50, 55, -5, OPAQUE}, Case{-1000, 300, 0, OPAQUE}}) {
        Canvas whole(200, 80, 0x336699);
        Canvas cut(200, 80, 0x336699);
        Draw(whole, c.x, c.y, text, c.extra, c.mode, false);
        Draw(cut, c.x, c.y, text, c.extra, c.mode, true);
        SCOPED_TRACE(c.x);
        ExpectSamePixels(whole, cut);
    }
}

}  // namespace
}  // namespace paneloom
