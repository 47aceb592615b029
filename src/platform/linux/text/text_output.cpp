#include "platform/text_output.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "platform/linux/drawing/objects.h"
#include "platform/linux/text/engine.h"
#include "platform/linux/text/face_memo.h"

namespace paneloom::platform {

static_assert(kMaxFontPixels == lnx::kMaxFontPixels, "both builds bound font sizes alike");

namespace lnx {

namespace {

// Every context of the Linux build has 96 pixels per inch, the usual
// Windows setting, so that a point size gives the same pixel height on both
// builds.
constexpr int kScreenPixelsPerInch = 96;

std::string FaceOf(const LogFontRecord& record) {
    return std::string(record.faceName, strnlen(record.faceName, kFaceNameSize - 1));
}

// The engine's font for a logical font, made on first use: as in GDI, the
// face is matched when text is measured or drawn, not when the logical font
// is created. Null when no face can be found at all.
const Font* EngineFont(FontObject* font) {
    if (font == nullptr) return nullptr;
    if (!font->font) {
        font->font = TextEngine::Instance().CreateFont({font->record.height, font->record.weight, FaceOf(font->record)});
    }
    return font->font.get();
}

}  // namespace

FontObject* StockFont() {
    static FontObject* stock = [] {
        auto* font = new FontObject;
        font->stock = true;
        return font;
    }();
    return stock;
}

void RetainFont(FontObject* font) {
    if (font != nullptr) ++font->selections;
}

void ReleaseFont(FontObject* font) {
    if (font == nullptr) return;
    --font->selections;
    if (font->selections <= 0 && font->deletePending && !font->stock) delete font;
}

}  // namespace lnx

namespace {

class LinuxTextOutput final : public TextOutput {
public:
    int DeviceCaps(DcHandle dc, int index) override {
        if (dc == nullptr) return 0;
        return index == kLogPixelsX || index == kLogPixelsY ? lnx::kScreenPixelsPerInch : 0;
    }

    // Every context keeps the default mapping, in which a logical unit is a
    // pixel.
    bool DeviceToLogical(DcHandle dc, DevicePoint*, int) override { return dc != nullptr; }

    FontHandle CreateFontFromRecord(const LogFontRecord& record) override {
        auto* font = new FontObject;
        font->record = record;
        font->record.faceName[kFaceNameSize - 1] = '\0';
        return font;
    }

    FontHandle SelectFontObject(DcHandle dc, FontHandle font) override {
        if (dc == nullptr || font == nullptr) return nullptr;
        FontObject* previous = dc->font;
        lnx::RetainFont(font);
        dc->font = font;
        lnx::ReleaseFont(previous);
        // The handle given back stays valid while the caller may still
        // select it again; a deleted one would have gone with its release.
        return previous;
    }

    void DeleteFontObject(FontHandle font) override {
        if (font == nullptr || font->stock) return;
        if (font->selections > 0) {
            font->deletePending = true;
            return;
        }
        delete font;
    }

    std::uint32_t SetBackgroundColor(DcHandle dc, std::uint32_t color) override {
        if (dc == nullptr) return kInvalidColor;
        return std::exchange(dc->text.bkColor, color & kColorMask);
    }

    BackgroundMode SetBackgroundMode(DcHandle dc, BackgroundMode mode) override {
        if (dc == nullptr) return mode;
        return std::exchange(dc->text.backgroundMode, mode);
    }

    std::uint32_t SetForegroundColor(DcHandle dc, std::uint32_t color) override {
        if (dc == nullptr) return kInvalidColor;
        return std::exchange(dc->text.textColor, color & kColorMask);
    }

    int SetCharacterExtra(DcHandle dc, int extra) override {
        if (dc == nullptr) return kInvalidExtra;
        return std::exchange(dc->text.charExtra, extra);
    }

    bool MeasureString(DcHandle dc, const std::string& text, TextExtent& extent) override {
        if (dc == nullptr) return false;
        const lnx::Font* font = lnx::EngineFont(dc->font);
        if (font == nullptr) return false;
        extent = lnx::TextEngine::Instance().Measure(*font, text, dc->text.charExtra);
        return true;
    }

    bool WriteString(DcHandle dc, std::int32_t x, std::int32_t y, const std::string& text) override {
        if (dc == nullptr || dc->selected == nullptr) return false;
        const lnx::Font* font = lnx::EngineFont(dc->font);
        if (font == nullptr) return false;
        lnx::TextEngine::Instance().Draw(dc->selected->dib, *font, x, y, text, dc->text);
        return true;
    }

private:
    // What GDI answers when a colour or spacing cannot be set.
    static constexpr std::uint32_t kInvalidColor = 0xFFFFFFFF;
    static constexpr int kInvalidExtra = std::numeric_limits<int>::min();
    // Only red, green and blue count; the top byte is for palette forms.
    static constexpr std::uint32_t kColorMask = 0x00FFFFFF;
};

}  // namespace

template <>
TextOutput& RealImpl<TextOutput>() {
    static LinuxTextOutput output;
    return output;
}

void UseUserCache() { lnx::TextEngine::Instance().KeepFaceAnswersIn(lnx::FaceMemoPath(std::getenv)); }

}  // namespace paneloom::platform
