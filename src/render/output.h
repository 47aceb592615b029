// The output element: substitutes variables in its content, lays the content
// out as text items and draws them into the bitmap selected in `dc`.
#pragma once

#include <string>

#include "platform/gdi.h"

namespace paneloom {

void DoDisplayOutput(const std::string& content, platform::DcHandle dc);

}  // namespace paneloom
