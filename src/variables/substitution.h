// Replacement of the %NAME% variables in an output text by live system
// values. Only the listed names are looked for; any other text between
// percent signs stays as written.
#pragma once

#include <string>

#include "config/run_settings.h"
#include "variables/variable_caches.h"

namespace paneloom {

// Runs every family of variables over `text`, in place, in the fixed order:
// network, operating system, processor, volumes, user and memory, executable.
// A value inserted by one family is searched for the names of the families
// after it, never for its own or earlier ones. The records queried once per
// run are kept in `caches`; the executable is the one `settings` names.
// Never fails visibly: a failure that escapes a family is logged and ends the
// substitution, the text keeping what was replaced before it. Logging it
// allocates nothing, so exhausted memory still leaves that text to be drawn.
void SubstituteVariables(std::string& text, const RunSettings& settings, VariableCaches& caches) noexcept;

}  // namespace paneloom
