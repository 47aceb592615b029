// The network family of variables: host name, domain, DNS servers, the
// adapters and the interface table. They come first in the substitution
// order, so every other family can be named inside a network value.
#pragma once

#include <string>

namespace paneloom {

// Replaces the network variables in `text`, in their fixed order.
void SubstituteNetworkVariables(std::string& text);

}  // namespace paneloom
