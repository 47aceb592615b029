// The two questions a Unix user asks any program before trusting it with
// their desktop: how is it used, and which version is it. Only the Linux
// build answers them; the Windows program prints nothing, ever.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace paneloom::platform::lnx {

// When the whole argument vector is the program and one `--help` or
// `--version`, writes the usage or the version to standard output and gives
// the exit code: 0, or 1 when standard output could not take it. Anything
// else (`--help extra`, `-h`) is an ordinary run: no answer.
std::optional<int> AnswerHelpOrVersion(const std::vector<std::string>& argv);

}  // namespace paneloom::platform::lnx
