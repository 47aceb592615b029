// The whole run, from start-up to the process exit code.
#pragma once

#include <cstdint>
#include <string>

#include "config/run_settings.h"
#include "platform/graphics.h"
#include "render/screen_picture.h"
#include "variables/variable_caches.h"

namespace paneloom {

enum ExitCode : int {
    kExitDone = 0,            // also: the configuration file could not be loaded
    kExitFrameworkFailed = 1,
    kExitLoadBMPImageFailed = 2,
    kExitLoadImageFailed = 3,
    kExitMainLoopFailed = -1,  // a parent sees 255 on Linux and under Wine
};

// What one run keeps from its start to its end. The run hands each part the
// piece it reads or writes; nothing of it outlives the run, and nothing else
// is kept between the steps.
struct RunContext {
    // The command line, the settings elements and the output pipeline write
    // it; everything that draws or substitutes reads it.
    RunSettings settings;
    // The machine's records that the variables query once per run.
    VariableCaches caches;
    // The picture composed at the screen's size, when the configuration
    // asks for one.
    ScreenPicture screen;
};

// What a run does beyond drawing into its bitmap: where it finds its
// configuration, how it draws each output element, and what it does with the
// finished picture. An ordinary run uses these as they are; a preview or a
// check replaces some of them and keeps the rest of the run as it is.
class RunEffects {
public:
    virtual ~RunEffects() = default;

    // The configuration path (and perhaps the current directory) from the
    // raw command line.
    virtual void ResolveConfiguration(RunSettings& settings);

    // Writes the wallpaper style into the desktop settings.
    virtual void ApplyStyle(std::int32_t backgroundStyle);

    // Substitutes, lays out and draws one output element's content.
    virtual void DrawOutput(std::string& content, platform::DcHandle dc, RunContext& context);

    // The finished bitmap, selected nowhere: written to the output file.
    // False when it could not be written, so that nothing points at it.
    virtual bool WriteResult(const RunSettings& settings, platform::BitmapHandle bitmap,
                             platform::PaletteHandle palette);

    // Makes the output file the wallpaper.
    virtual void SetWallpaper(const std::string& outputBitmapPath);
};

// One run in a context of its own.
int RunMain();

// One run in `context`, which is left as the run leaves it.
int RunMain(RunContext& context);

// One run in `context` whose effects are `effects`.
int RunMain(RunContext& context, RunEffects& effects);

}  // namespace paneloom
