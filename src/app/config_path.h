// Where the configuration comes from: the raw command line, never split into
// arguments.
#pragma once

#include <string>

#include "config/run_settings.h"

namespace paneloom {

// The text between the third and fourth `"`: the second quoted token when
// the program path is itself quoted. False, with `path` untouched, when the
// line has fewer than four quotes.
bool GetQuotedArgument(const std::string& commandLine, std::string& path);

// The text between the first and second `"` up to its last `\`. False when
// there are fewer than two quotes or no `\` between them.
bool GetExecutableDirectory(const std::string& commandLine, std::string& directory);

// Applies the command-line rules to the settings' configuration path:
// config="..." anywhere; otherwise the second quoted token, with the current
// directory moved to the program's directory; otherwise the path stays.
void ResolveConfigPath(const std::string& commandLine, RunSettings& settings);

}  // namespace paneloom
