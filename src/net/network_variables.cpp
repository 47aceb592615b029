#include "net/network_variables.h"

namespace paneloom {

// The network family is not built yet: its names stay in the text as written.
void SubstituteNetworkVariables(std::string&) {}

}  // namespace paneloom
