// The two settings elements: globalsettings (once per run) and textsettings
// (once per displayoutput). Both write into the run's settings.
#pragma once

#include <cstdint>
#include <string>

#include "config/run_settings.h"

namespace paneloom {

// `content` is what lies between <globalsettings> and </globalsettings>.
void ParseGlobalSettings(const std::string& content, RunSettings& settings);

// `content` is what lies between <textsettings> and </textsettings>.
void ParseTextSettings(const std::string& content, RunSettings& settings);

// 0x00BBGGRR from three channel values; only their low 8 bits count.
std::uint32_t PackColour(std::int32_t red, std::int32_t green, std::int32_t blue);

}  // namespace paneloom
