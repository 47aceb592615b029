#include "render/output.h"

namespace paneloom {

// Placeholder until the output pipeline lands.
void DoDisplayOutput(const std::string&, platform::DcHandle) {}

}  // namespace paneloom
