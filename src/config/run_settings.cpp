#include "config/run_settings.h"

namespace paneloom {

RunSettings& Settings() {
    static RunSettings settings;
    return settings;
}

void ResetSettingsForTest() { Settings() = RunSettings(); }

}  // namespace paneloom
