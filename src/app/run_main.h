// The whole run, from start-up to the process exit code.
#pragma once

#include "config/run_settings.h"
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

// One run in a context of its own.
int RunMain();

// One run in `context`, which is left as the run leaves it.
int RunMain(RunContext& context);

}  // namespace paneloom
