#include "app/run_main.h"

#include <cstdint>
#include <string>

#include "app/config_path.h"
#include "codepage/ansi_text.h"
#include "app/output_folder.h"
#include "log/error_log.h"
#include "common/format.h"
#include "config/markup.h"
#include "config/settings_elements.h"
#include "platform/graphics.h"
#include "platform/process.h"
#include "render/bitmap_file.h"
#include "render/output.h"
#include "render/screen_picture.h"
#include "render/wallpaper.h"

namespace paneloom {

namespace {

// Owns the drawing objects of one run and releases whatever is still held
// when the run ends early through the catch-all.
struct RunObjects {
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    platform::BitmapHandle bitmap = nullptr;
    platform::PaletteHandle palette = nullptr;
    platform::DcHandle dc = nullptr;
    platform::BitmapHandle previous = nullptr;

    void ReleaseDC() {
        if (dc == nullptr) return;
        if (previous != nullptr) graphics.SelectBitmap(dc, previous);
        graphics.DeleteDC(dc);
        dc = nullptr;
        previous = nullptr;
    }

    ~RunObjects() {
        ReleaseDC();
        graphics.DeleteBitmap(bitmap);
        graphics.DeletePalette(palette);
    }
};

// Each displayoutput element in document order: its first textsettings, then
// its first output, whatever their order inside the element.
void DrawDisplayOutputs(const std::string& document, platform::DcHandle dc, RunContext& context,
                        RunEffects& effects) {
    std::int32_t cursor = 0;
    while (true) {
        std::string element;
        std::int32_t end = -1;
        if (!FindElement(document, "displayoutput", element, cursor, end, ContentMode)) return;

        std::string piece;
        std::int32_t innerCursor = 0;
        std::int32_t innerEnd = -1;
        if (FindElement(element, "textsettings", piece, innerCursor, innerEnd, ContentMode)) {
            ParseTextSettings(piece, context.settings);
        }
        innerCursor = 0;
        if (FindElement(element, "output", piece, innerCursor, innerEnd, ContentMode)) {
            effects.DrawOutput(piece, dc, context);
        }
        cursor = end;
    }
}

int Run(RunContext& context, RunEffects& effects) {
    platform::Process& process = platform::Get<platform::Process>();
    if (!process.InitFramework()) {
        LogError("Fatal Error: MFC initialization failed");
        return kExitFrameworkFailed;
    }

    RunSettings& settings = context.settings;
    effects.ResolveConfiguration(settings);

    // The code page of a previous run in this process is not this one's.
    SelectRunCodePage({});
    std::string document;
    if (!LoadFile(settings.configPath, document)) return kExitDone;
    SelectRunCodePage(document);
    RemoveComments(document, true);

    std::string globals;
    std::int32_t cursor = 0;
    std::int32_t end = -1;
    if (FindElement(document, "globalsettings", globals, cursor, end, ContentMode)) {
        ParseGlobalSettings(globals, settings);
    }
    EnterOutputFolder(context);

    // A picture composed at the screen's size is shown centred, pixel for
    // pixel; that style is written only with the picture, so that a run that
    // stops before never leaves the user's own picture in another style.
    const bool composing = PlanScreenPicture(settings, context.screen);
    if (!composing) effects.ApplyStyle(settings.backgroundStyle);
    if (composing) settings.inputBitmapPath = context.screen.source;

    RunObjects objects;
    if (composing && settings.inputBitmapPath.empty()) {
        // Nothing to start from: the desktop colour alone.
    } else if (!settings.useScreenDepth) {
        objects.bitmap = composing ? LoadScreenSource(context.screen)
                                   : objects.graphics.LoadBitmapFile(settings.inputBitmapPath);
        if (composing) settings.inputBitmapPath = context.screen.source;
        if (objects.bitmap == nullptr && !(composing && settings.inputBitmapPath.empty())) {
            LogError(StringPrintf("Could not LoadImage <%s>!\n", settings.inputBitmapPath.c_str()));
            return kExitLoadImageFailed;
        }
    } else if (!LoadBMPImage(settings.inputBitmapPath, objects.bitmap, objects.palette)) {
        LogError(StringPrintf("Could not LoadBMPImage <%s>!\n", settings.inputBitmapPath.c_str()));
        return kExitLoadBMPImageFailed;
    }

    if (composing) ComposeScreenBitmap(context.screen, objects.bitmap);

    objects.dc = objects.graphics.CreateScreenCompatibleDC();
    objects.previous = objects.graphics.SelectBitmap(objects.dc, objects.bitmap);

    DrawDisplayOutputs(document, objects.dc, context, effects);

    // The bitmap must not stay selected anywhere while it is converted.
    objects.ReleaseDC();

    const bool written = effects.WriteResult(settings, objects.bitmap, objects.palette);
    objects.graphics.DeleteBitmap(objects.bitmap);
    objects.bitmap = nullptr;
    objects.graphics.DeletePalette(objects.palette);
    objects.palette = nullptr;

    // A picture that was not written is not shown: the path may name no
    // file at all, or one that someone else left there.
    if (written) {
        if (composing) effects.ApplyStyle(0);
        effects.SetWallpaper(settings.outputBitmapPath);
    }
    return kExitDone;
}

}  // namespace

void RunEffects::ResolveConfiguration(RunSettings& settings) {
    ResolveConfigPath(platform::Get<platform::Process>().RawCommandLine(), settings);
}

void RunEffects::ApplyStyle(std::int32_t backgroundStyle) { ApplyWallpaperStyle(backgroundStyle); }

void RunEffects::DrawOutput(std::string& content, platform::DcHandle dc, RunContext& context) {
    DoDisplayOutput(content, dc, context.settings, context.caches);
}

bool RunEffects::WriteResult(const RunSettings& settings, platform::BitmapHandle bitmap,
                             platform::PaletteHandle palette) {
    return WriteBMPImage(settings.outputBitmapPath, bitmap, settings.useScreenDepth ? palette : nullptr);
}

void RunEffects::SetWallpaper(const std::string& outputBitmapPath) { SetDesktopWallpaper(outputBitmapPath); }

int RunMain() {
    RunContext context;
    return RunMain(context);
}

int RunMain(RunContext& context) {
    RunEffects effects;
    return RunMain(context, effects);
}

int RunMain(RunContext& context, RunEffects& effects) {
    try {
        return Run(context, effects);
    } catch (...) {
        LogError("Error in main loop\n");
        return kExitMainLoopFailed;
    }
}

}  // namespace paneloom
