#include "platform/text_output.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/win32/run_text.h"
#include "platform/win32/unicode_line.h"

namespace paneloom::platform {

namespace {

HDC ToHandle(DcHandle dc) { return reinterpret_cast<HDC>(dc); }
HFONT ToHandle(FontHandle font) { return reinterpret_cast<HFONT>(font); }

template <typename Text>
int Length(const Text& text) {
    return static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
}

// The characters of a string that can reach the bitmap selected into the
// context. GDI renders, and keeps in its glyph cache, the glyph of every
// character it is handed, also of those that land far outside the bitmap;
// for a long line in a large font that is many times the memory of the
// bitmap itself. Characters whose cell lies wholly off the bitmap, by more
// than the widest character (room for overhanging glyphs), are left out;
// what appears on the bitmap is the same.
struct VisiblePart {
    int first = 0;
    int count = 0;
    int x = 0;
};

// GetTextExtentExPoint in the width of the text's characters.
BOOL ExtentsOf(HDC dc, const std::string& text, int length, INT* ends, SIZE* size) {
    return GetTextExtentExPointA(dc, text.data(), length, 0, nullptr, ends, size);
}

BOOL ExtentsOf(HDC dc, const std::wstring& text, int length, INT* ends, SIZE* size) {
    return GetTextExtentExPointW(dc, text.data(), length, 0, nullptr, ends, size);
}

template <typename Text>
VisiblePart FindVisiblePart(HDC dc, int x, int y, const Text& text) {
    const int length = static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
    const VisiblePart whole{0, length, x};
    BITMAP bitmap{};
    const HGDIOBJ selected = GetCurrentObject(dc, OBJ_BITMAP);
    if (length == 0 || selected == nullptr || GetObjectA(selected, sizeof bitmap, &bitmap) != sizeof bitmap)
        return whole;
    TEXTMETRICA metrics{};
    if (!GetTextMetricsA(dc, &metrics)) return whole;
    const std::int64_t margin = std::max<std::int64_t>({metrics.tmMaxCharWidth, metrics.tmHeight, 1});

    const std::int64_t top = y;
    if (top + metrics.tmHeight + margin <= 0 || top - margin >= bitmap.bmHeight) return VisiblePart{};

    // The end of each character's cell, measured from x.
    std::vector<INT> ends(static_cast<std::size_t>(length));
    SIZE size{};
    if (!ExtentsOf(dc, text, length, ends.data(), &size)) return whole;
    const std::int64_t left = -margin;
    const std::int64_t right = std::int64_t{bitmap.bmWidth} + margin;
    int first = -1;
    int last = -1;
    for (int i = 0; i < length; ++i) {
        const std::int64_t start = std::int64_t{x} + (i == 0 ? 0 : ends[i - 1]);
        const std::int64_t end = std::int64_t{x} + ends[i];
        if (std::max(start, end) <= left || std::min(start, end) >= right) continue;
        if (first < 0) first = i;
        last = i;
    }
    if (first < 0) return VisiblePart{};
    const std::int64_t firstX = std::int64_t{x} + (first == 0 ? 0 : ends[first - 1]);
    if (firstX < INT_MIN || firstX > INT_MAX) return whole;
    return VisiblePart{first, last - first + 1, static_cast<int>(firstX)};
}

class Win32TextOutput final : public TextOutput {
public:
    int DeviceCaps(DcHandle dc, int index) override { return GetDeviceCaps(ToHandle(dc), index); }

    bool DeviceToLogical(DcHandle dc, DevicePoint* points, int count) override {
        if (count <= 0) return true;
        std::vector<POINT> converted(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) converted[i] = POINT{points[i].x, points[i].y};
        if (!DPtoLP(ToHandle(dc), converted.data(), count)) return false;
        for (int i = 0; i < count; ++i) points[i] = DevicePoint{converted[i].x, converted[i].y};
        return true;
    }

    FontHandle CreateFontFromRecord(const LogFontRecord& record) override {
        if (RunInUtf8()) return CreateWideFont(record);
        LOGFONTA font{};
        // Heights beyond the bound and weights off the 0 to 1000 scale are
        // brought into range: GDI would otherwise build glyphs of any size
        // asked for.
        font.lfHeight = std::clamp(record.height, -kMaxFontPixels, kMaxFontPixels);
        font.lfWeight = std::clamp<std::int32_t>(record.weight, 0, 1000);
        font.lfCharSet = record.charSet;
        static_assert(sizeof(font.lfFaceName) == kFaceNameSize, "face name sizes agree");
        std::memcpy(font.lfFaceName, record.faceName, kFaceNameSize);
        font.lfFaceName[kFaceNameSize - 1] = '\0';
        return reinterpret_cast<FontHandle>(CreateFontIndirectA(&font));
    }

    FontHandle SelectFontObject(DcHandle dc, FontHandle font) override {
        return reinterpret_cast<FontHandle>(SelectObject(ToHandle(dc), ToHandle(font)));
    }

    void DeleteFontObject(FontHandle font) override {
        if (font != nullptr) DeleteObject(ToHandle(font));
    }

    std::uint32_t SetBackgroundColor(DcHandle dc, std::uint32_t color) override {
        return SetBkColor(ToHandle(dc), color);
    }

    BackgroundMode SetBackgroundMode(DcHandle dc, BackgroundMode mode) override {
        const int previous = SetBkMode(ToHandle(dc), static_cast<int>(mode));
        return previous == OPAQUE ? BackgroundMode::kOpaque : BackgroundMode::kTransparent;
    }

    std::uint32_t SetForegroundColor(DcHandle dc, std::uint32_t color) override {
        return SetTextColor(ToHandle(dc), color);
    }

    int SetCharacterExtra(DcHandle dc, int extra) override { return SetTextCharacterExtra(ToHandle(dc), extra); }

    bool MeasureString(DcHandle dc, const std::string& text, TextExtent& extent) override {
        SIZE size{};
        if (RunInUtf8()) {
            const std::wstring wide = WideFromRun(text);
            if (!MeasureShapedLine(ToHandle(dc), wide, size) &&
                !GetTextExtentPoint32W(ToHandle(dc), wide.c_str(), Length(wide), &size)) {
                return false;
            }
        } else if (!GetTextExtentPoint32A(ToHandle(dc), text.data(), Length(text), &size)) {
            return false;
        }
        extent.cx = size.cx;
        extent.cy = size.cy;
        return true;
    }

    bool WriteString(DcHandle dc, std::int32_t x, std::int32_t y, const std::string& text) override {
        const HDC handle = ToHandle(dc);
        if (RunInUtf8()) return WriteWide(handle, x, y, WideFromRun(text));
        const VisiblePart part = FindVisiblePart(handle, x, y, text);
        if (part.count == 0) return true;
        return TextOutA(handle, part.x, y, text.data() + part.first, part.count) != FALSE;
    }

private:
    // A UTF-8 run's face name, as the wide font record holds it.
    static FontHandle CreateWideFont(const LogFontRecord& record) {
        LOGFONTW font{};
        font.lfHeight = std::clamp(record.height, -kMaxFontPixels, kMaxFontPixels);
        font.lfWeight = std::clamp<std::int32_t>(record.weight, 0, 1000);
        font.lfCharSet = record.charSet;
        const std::wstring face = WideFromRun(std::string(record.faceName, strnlen(record.faceName, kFaceNameSize)));
        face.copy(font.lfFaceName, LF_FACESIZE - 1);
        return reinterpret_cast<FontHandle>(CreateFontIndirectW(&font));
    }

    static bool WriteWide(HDC dc, std::int32_t x, std::int32_t y, const std::wstring& text) {
        if (WriteShapedLine(dc, x, y, text)) return true;
        // A line the selected face draws alone goes to GDI as an ANSI line
        // does: only what can reach the bitmap is handed over.
        const VisiblePart part = FindVisiblePart(dc, x, y, text);
        if (part.count == 0) return true;
        return TextOutW(dc, part.x, y, text.data() + part.first, part.count) != FALSE;
    }
};

}  // namespace

template <>
TextOutput& RealImpl<TextOutput>() {
    static Win32TextOutput output;
    return output;
}

// GDI's font mapper keeps its own tables loaded: nothing to keep here.
void UseUserCache() {}

}  // namespace paneloom::platform
