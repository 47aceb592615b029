// Replacement of the %NAME% variables in an output text by live system
// values. Only the listed names are looked for; any other text between
// percent signs stays as written.
#pragma once

#include <string>

#include "variables/replace.h"

namespace paneloom {

// Runs every family of variables over `text`, in place, in the fixed order:
// network, operating system, processor, volumes, user and memory, executable.
// A value inserted by one family is searched for the names of the families
// after it, never for its own or earlier ones. Never fails visibly: a failure
// that escapes a family is logged and ends the substitution, the text keeping
// what was replaced before it.
void SubstituteVariables(std::string& text);

// Forgets the process-wide records (version, system information, drive
// list) so the next substitution queries them again. Only tests call this.
void ResetVariableCachesForTest();

}  // namespace paneloom
