// The user and memory variables: %USERNAME% and %RAMINFO%.
#pragma once

#include <cstdint>
#include <string>

namespace paneloom {

// "<n> Kb RAM": the total physical memory in KB, rounded up.
std::string RamInfoText(std::uint64_t totalBytes);

// Replaces %USERNAME%, then %RAMINFO%. A user name that cannot be read is
// shown as "[unknown]".
void SubstituteUserAndMemoryVariables(std::string& text);

}  // namespace paneloom
