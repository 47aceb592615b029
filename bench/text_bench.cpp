// Drawing 40 lines of 60 characters at 16 points on a 3840 x 2160 bitmap on
// the Linux build, and where that time goes.
//
//   BM_FirstRun_40x60                the whole job in a fresh process, as a
//                                    run meets it: fontconfig's set-up, the
//                                    font match, layout, glyphs, blending
//   BM_FirstRun_Mixed_40x60          the same for lines that mix Latin,
//                                    Cyrillic, Chinese and Arabic: fontconfig's
//                                    fallback faces for the characters Arial
//                                    lacks, shaping, right-to-left order
//   BM_Draw_Mixed_40x60_Warm         the mixed lines once everything is loaded
//   BM_FontconfigSetup               loading fontconfig's configuration
//   BM_FontMatch                     one match of a face and weight
//   BM_Draw_40x60_Warm               layout and drawing once everything is
//                                    loaded
//   BM_GlyphRaster_40x60             FreeType's part of a first draw: the
//                                    distinct characters of the 40 lines
//                                    loaded and rasterised once each, as the
//                                    engine does before it keeps their
//                                    coverage (coverage thrown away here)
//   BM_GlyphRaster_EveryCharacter    the same for all 2400 characters: what
//                                    drawing would cost without the kept
//                                    coverage
//   BM_Layout_40x60_NoDrawing        the textat text parsed and laid out,
//                                    with a drawing context that draws
//                                    nothing
//
// Blending is what BM_Draw_40x60_Warm takes beyond BM_Layout_40x60_NoDrawing
// (its glyphs are all kept from the first draw). The first-run benchmarks
// fork a process per iteration and must run before anything else has loaded
// fontconfig in this process; they come first and refuse to run otherwise.
#include <benchmark/benchmark.h>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/run_settings.h"
#include "platform/graphics.h"
#include "platform/linux/drawing/objects.h"
#include "platform/linux/text/engine.h"
#include "platform/text_output.h"
#include "render/output.h"
#include "render/text_items.h"

namespace paneloom {
namespace {

constexpr std::int32_t kWidth = 3840;
constexpr std::int32_t kHeight = 2160;
constexpr int kLines = 40;
constexpr std::size_t kCharacters = 60;

bool engineLoadedHere = false;

// 40 lines of 60 characters of ordinary report text.
std::vector<std::string> Lines() {
    const std::string words =
        "Host WORKSTATION-42 runs Windows 7 Service Pack 1 on an Intel(R) Xeon(R) CPU at 2300 MHz, "
        "192.168.100.23/255.255.255.0 via 00-1A-2B-3C-4D-5E; C:\\ 73.4/252.0 GB Free ";
    std::vector<std::string> lines;
    for (int line = 0; line < kLines; ++line) {
        std::string text;
        for (std::size_t i = 0; text.size() < kCharacters; ++i) text.push_back(words[(line * 7 + i) % words.size()]);
        lines.push_back(text);
    }
    return lines;
}

// 40 lines of 60 characters that mix four scripts, in UTF-8: a report of a
// machine named and described in Russian, Chinese and Arabic.
std::vector<std::string> MixedLines() {
    const std::vector<std::string> words = {
        "Host", "\xD0\x9A\xD0\xBE\xD0\xBC\xD0\xBF\xD1\x8C\xD1\x8E\xD1\x82\xD0\xB5\xD1\x80",  // Компьютер
        "\xE8\xAE\xA1\xE7\xAE\x97\xE6\x9C\xBA",                                          // 计算机
        "\xD8\xA7\xD9\x84\xD8\xAD\xD8\xA7\xD8\xB3\xD9\x88\xD8\xA8",                          // الحاسوب
        "192.168.100.23", "\xD1\x81\xD0\xB5\xD1\x80\xD0\xB2\xD0\xB5\xD1\x80",                  // сервер
        "\xE5\x8A\x9E\xE5\x85\xAC\xE5\xAE\xA4",                                          // 办公室
        "\xD9\x85\xD9\x83\xD8\xAA\xD8\xA8", "73.4/252.0 GB", "Windows 7",                   // مكتب
    };
    std::vector<std::string> lines;
    for (int line = 0; line < kLines; ++line) {
        std::string text;
        std::size_t characters = 0;
        for (std::size_t i = 0; characters < kCharacters; ++i) {
            const std::string& word = words[(line * 3 + i) % words.size()];
            for (const char c : word + " ") {
                // Characters, not bytes: a byte that continues one is not
                // counted.
                const bool begins = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
                if (begins && characters == kCharacters) break;
                text.push_back(c);
                if (begins) ++characters;
            }
        }
        lines.push_back(text);
    }
    return lines;
}

// The lines as the content of an output element.
std::string Content(const std::vector<std::string>& lines = Lines()) {
    std::string content;
    for (const std::string& line : lines) content += "<textline>" + line + "</textline>\r\n";
    return content;
}

// A 32-bit 3840 x 2160 bitmap selected into a memory context.
class Canvas {
public:
    Canvas() : graphics_(platform::Get<platform::Graphics>()) {
        bitmap_ = new platform::BitmapObject;
        bitmap_->dib.Allocate(kWidth, kHeight, 32);
        dc_ = graphics_.CreateScreenCompatibleDC();
        previous_ = graphics_.SelectBitmap(dc_, bitmap_);
    }
    ~Canvas() {
        graphics_.SelectBitmap(dc_, previous_);
        graphics_.DeleteDC(dc_);
        graphics_.DeleteBitmap(bitmap_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    platform::DcHandle dc() const { return dc_; }

private:
    platform::Graphics& graphics_;
    platform::BitmapObject* bitmap_ = nullptr;
    platform::DcHandle dc_ = nullptr;
    platform::BitmapHandle previous_ = nullptr;
};

// The layout and drawing step: the lines as generated textat elements
// (moving the start position, so it is put back each time), then drawn.
void LayOutAndDraw(platform::DcHandle dc, const std::string& content, RunSettings& settings) {
    settings.textStartY = 30;
    std::string items;
    ConvertTextLines(content, items, settings);
    DrawTextItems(dc, items, settings);
}

// The whole job in a forked process that has loaded nothing yet.
void FirstRun(benchmark::State& state, const std::string& content) {
    if (engineLoadedHere) {
        state.SkipWithError("fontconfig is already loaded in this process; run this benchmark first");
        return;
    }
    for (auto _ : state) {
        int pipe[2];
        if (::pipe(pipe) != 0) {
            state.SkipWithError("pipe failed");
            return;
        }
        const pid_t child = fork();
        if (child == 0) {
            Canvas canvas;  // the bitmap and settings are the run's already; not timed
            RunSettings settings;
            const auto start = std::chrono::steady_clock::now();
            LayOutAndDraw(canvas.dc(), content, settings);
            const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const ssize_t written = ::write(pipe[1], &elapsed, sizeof elapsed);
            _exit(written == sizeof elapsed ? 0 : 1);
        }
        ::close(pipe[1]);
        double elapsed = -1;
        const ssize_t got = ::read(pipe[0], &elapsed, sizeof elapsed);
        ::close(pipe[0]);
        int status = 0;
        waitpid(child, &status, 0);
        if (got != sizeof elapsed || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the drawing process failed");
            return;
        }
        state.SetIterationTime(elapsed);
    }
}

void BM_FirstRun_40x60(benchmark::State& state) { FirstRun(state, Content()); }
BENCHMARK(BM_FirstRun_40x60)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_FirstRun_Mixed_40x60(benchmark::State& state) { FirstRun(state, Content(MixedLines())); }
BENCHMARK(BM_FirstRun_Mixed_40x60)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_FontconfigSetup(benchmark::State& state) {
    for (auto _ : state) {
        FcConfig* config = FcInitLoadConfigAndFonts();
        benchmark::DoNotOptimize(config);
        FcConfigDestroy(config);
    }
}
BENCHMARK(BM_FontconfigSetup)->Unit(benchmark::kMillisecond);

// The mapper's question for the default text font: Arial at weight 600.
void BM_FontMatch(benchmark::State& state) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    for (auto _ : state) {
        FcPattern* pattern = FcPatternCreate();
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("Arial"));
        FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(600));
        FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* best = FcFontMatch(config, pattern, &result);
        benchmark::DoNotOptimize(best);
        FcPatternDestroy(best);
        FcPatternDestroy(pattern);
    }
    FcConfigDestroy(config);
}
BENCHMARK(BM_FontMatch)->Unit(benchmark::kMicrosecond);

void BM_Draw_40x60_Warm(benchmark::State& state) {
    engineLoadedHere = true;
    RunSettings settings;
    const std::string content = Content();
    Canvas canvas;
    LayOutAndDraw(canvas.dc(), content, settings);  // loads and matches
    for (auto _ : state) LayOutAndDraw(canvas.dc(), content, settings);
}
BENCHMARK(BM_Draw_40x60_Warm)->Unit(benchmark::kMillisecond);

void BM_Draw_Mixed_40x60_Warm(benchmark::State& state) {
    engineLoadedHere = true;
    RunSettings settings;
    const std::string content = Content(MixedLines());
    Canvas canvas;
    LayOutAndDraw(canvas.dc(), content, settings);
    for (auto _ : state) LayOutAndDraw(canvas.dc(), content, settings);
}
BENCHMARK(BM_Draw_Mixed_40x60_Warm)->Unit(benchmark::kMillisecond);

void CountCoverage(int, int count, const FT_Span* spans, void* user) {
    auto* total = static_cast<std::uint64_t*>(user);
    for (int i = 0; i < count; ++i) *total += static_cast<std::uint64_t>(spans[i].coverage) * spans[i].len;
}

// The glyphs of the 40 lines through FreeType as the engine loads them (the
// face it chose, hinted, emboldened where it simulates bold), rasterised
// with the coverage only summed: each distinct character once, or every
// character.
void GlyphRaster(benchmark::State& state, bool everyCharacter) {
    engineLoadedHere = true;
    const RunSettings settings;
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    const platform::DcHandle screen = graphics.GetScreenDC();
    const std::int32_t height = ItemLogFont(settings.fontPoints, settings.fontFace, 0, screen).height;
    graphics.ReleaseScreenDC(screen);
    const std::shared_ptr<platform::lnx::Font> font =
        platform::lnx::TextEngine::Instance().CreateFont({height, settings.fontWeight, settings.fontFace});
    if (!font) {
        state.SkipWithError("no font");
        return;
    }
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, font->File().c_str(), font->FaceIndex(), &face) != 0 ||
        FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(font->EmPixels())) != 0) {
        state.SkipWithError("FreeType could not open the face");
        return;
    }
    std::string text;
    for (const std::string& line : Lines()) text += line;
    if (!everyCharacter) {
        std::string distinct;
        for (const char c : text)
            if (distinct.find(c) == std::string::npos) distinct.push_back(c);
        text = distinct;
    }
    state.counters["glyphs"] = static_cast<double>(text.size());
    std::uint64_t total = 0;
    for (auto _ : state) {
        for (const char c : text) {
            const FT_UInt glyph = FT_Get_Char_Index(face, static_cast<unsigned char>(c));
            if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) continue;
            FT_GlyphSlot slot = face->glyph;
            if (font->SyntheticBold()) FT_Outline_Embolden(&slot->outline, font->EmPixels() * 64 / 24);
            FT_Raster_Params params{};
            params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT;
            params.gray_spans = CountCoverage;
            params.user = &total;
            FT_Outline_Render(library, &slot->outline, &params);
        }
    }
    benchmark::DoNotOptimize(total);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

void BM_GlyphRaster_40x60(benchmark::State& state) { GlyphRaster(state, false); }
BENCHMARK(BM_GlyphRaster_40x60)->Unit(benchmark::kMillisecond);

void BM_GlyphRaster_EveryCharacter(benchmark::State& state) { GlyphRaster(state, true); }
BENCHMARK(BM_GlyphRaster_EveryCharacter)->Unit(benchmark::kMillisecond);

// A context that answers like the real one but draws nothing.
class NoDrawing : public platform::TextOutput {
public:
    int DeviceCaps(platform::DcHandle, int) override { return 96; }
    bool DeviceToLogical(platform::DcHandle, platform::DevicePoint*, int) override { return true; }
    platform::FontHandle CreateFontFromRecord(const platform::LogFontRecord&) override {
        return reinterpret_cast<platform::FontHandle>(std::uintptr_t{1});
    }
    platform::FontHandle SelectFontObject(platform::DcHandle, platform::FontHandle) override {
        return reinterpret_cast<platform::FontHandle>(std::uintptr_t{2});
    }
    void DeleteFontObject(platform::FontHandle) override {}
    std::uint32_t SetBackgroundColor(platform::DcHandle, std::uint32_t) override { return 0; }
    platform::BackgroundMode SetBackgroundMode(platform::DcHandle, platform::BackgroundMode mode) override {
        return mode;
    }
    std::uint32_t SetForegroundColor(platform::DcHandle, std::uint32_t) override { return 0; }
    int SetCharacterExtra(platform::DcHandle, int) override { return 0; }
    bool MeasureString(platform::DcHandle, const std::string& text, platform::TextExtent& extent) override {
        extent.cx = static_cast<std::int32_t>(text.size()) * 12;
        extent.cy = 24;
        return true;
    }
    bool WriteString(platform::DcHandle, std::int32_t, std::int32_t, const std::string&) override { return true; }
};

void BM_Layout_40x60_NoDrawing(benchmark::State& state) {
    RunSettings settings;
    NoDrawing none;
    platform::ScopedFake<platform::TextOutput> fake(none);
    const std::string content = Content();
    Canvas canvas;
    for (auto _ : state) LayOutAndDraw(canvas.dc(), content, settings);
}
BENCHMARK(BM_Layout_40x60_NoDrawing)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace paneloom
