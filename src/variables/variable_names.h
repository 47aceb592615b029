// The names of every variable this machine has, in the order of
// substitution: the fixed names, and the indexed ones for each adapter,
// interface and drive present now.
#pragma once

#include <string>
#include <vector>

#include "variables/variable_caches.h"

namespace paneloom {

// Each name whole, percent signs included, in the order SubstituteVariables
// replaces them. The adapters and interfaces are read afresh; the drive list
// is the run's, from `caches`.
std::vector<std::string> VariableNames(VariableCaches& caches);

// The indexed families as printf formats, for telling a name of an adapter
// or interface this machine lacks from a name the program never knows.
extern const char* const kAdapterVariableFormats[8];
extern const char* const kInterfaceVariableFormats[5];
extern const char* const kVolumeVariableFormat;

}  // namespace paneloom
