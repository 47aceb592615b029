// Linux has no raw command line: the program gets an argument vector. We
// rebuild the text that Windows would have handed over, so that the same
// command-line rules find the configuration on both systems.
#pragma once

#include <string>
#include <vector>

namespace paneloom::platform::lnx {

// The program path in double quotes, then each argument after one blank:
// as it stands when it already holds a `"`; as name="value" when it has the
// form name=value and its name ends in "config"; otherwise in double quotes,
// so that a path holding a `=` stays one path.
std::string RebuildCommandLine(const std::vector<std::string>& argv);

}  // namespace paneloom::platform::lnx
