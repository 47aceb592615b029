// Replacement of the %NAME% variables in an output text by live system
// values. Only the listed names are looked for; any other text between
// percent signs stays as written.
#pragma once

#include <cstdint>
#include <string>

namespace paneloom {

// Runs every family of variables over `text`, in place, in the fixed order:
// network, operating system, processor, volumes, user and memory, executable.
// A value inserted by one family is searched for the names of the families
// after it, never for its own or earlier ones. Never fails visibly: a failure
// that escapes a family is logged and ends the substitution, the text keeping
// what was replaced before it.
void SubstituteVariables(std::string& text);

// Replaces every occurrence of `name` in `text` by `value`: exact bytes, case
// sensitive, left to right, resuming after each inserted value (so matches
// never overlap and a value is not searched again for the same name), and,
// under a double-byte code page, starting only on character boundaries.
// Returns the number of replacements; an empty `name` replaces nothing. When
// it fails (exhausted memory) the text is left as it was.
std::int32_t ReplaceAll(std::string& text, const std::string& name, const std::string& value);

// True when `name` occurs in `text` by the same rule as ReplaceAll.
bool ContainsName(const std::string& text, const std::string& name);

// Forgets the process-wide records (version, system information, drive
// list) so the next substitution queries them again. Only tests call this.
void ResetVariableCachesForTest();

}  // namespace paneloom
