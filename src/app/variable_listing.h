// `--variables`: every variable this machine has, with its value.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/run_main.h"

namespace paneloom {

// Each variable in substitution order with the value a textline holding
// only its name receives: the later variables' names inside it replaced
// too. A name that is not replaced here (the processor's, when the system
// does not describe it) comes with itself as its value.
std::vector<std::pair<std::string, std::string>> VariableValues(RunContext& context);

// The same for a run of the configuration at `configPath`, when it can be
// read: its textsettings name the executable whose version strings are
// shown.
std::vector<std::pair<std::string, std::string>> VariableValues(const std::string& configPath);

// Prints "%NAME%\tvalue\n" for each; exit code 0, or 1 when the console did
// not take it.
int ListVariables(const std::string& configPath);

}  // namespace paneloom
