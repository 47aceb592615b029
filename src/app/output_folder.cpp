#include "app/output_folder.h"

#include <string>

#include "config/path_variables.h"
#include "platform/desktop.h"
#include "platform/environment.h"
#include "platform/process.h"

namespace paneloom {

void EnterOutputFolder(RunContext& context) {
    RunSettings& settings = context.settings;
    ExpandPathVariables(settings.inputBitmapPath);
    if (!ExpandPathVariables(settings.outputBitmapPath)) return;

    const std::string folder = platform::Get<platform::Environment>().MakeFolderOf(settings.outputBitmapPath);
    if (folder.empty()) return;

    // Resolved while the current directory is still the one they were named in.
    platform::Desktop& desktop = platform::Get<platform::Desktop>();
    for (std::string* path : {&settings.inputBitmapPath, &settings.outputBitmapPath, &settings.executablePath}) {
        const std::string full = desktop.FullPathName(*path);
        if (!full.empty()) *path = full;
    }
    const std::string fullFolder = desktop.FullPathName(folder);
    platform::Get<platform::Process>().ChangeDirectory(fullFolder.empty() ? folder : fullFolder);
}

}  // namespace paneloom
