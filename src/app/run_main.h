// The whole run, from start-up to the process exit code.
#pragma once

namespace paneloom {

enum ExitCode : int {
    kExitDone = 0,            // also: the configuration file could not be loaded
    kExitFrameworkFailed = 1,
    kExitLoadBMPImageFailed = 2,
    kExitLoadImageFailed = 3,
    kExitMainLoopFailed = -1,  // a parent sees 255 on Linux and under Wine
};

int RunMain();

}  // namespace paneloom
