// The command-line options: asked as the first argument, they answer on the
// console instead of running. Without one the run is as it always was.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace paneloom {

// Exit code of options written wrongly (a missing OUT, too many names).
inline constexpr int kExitUsage = 64;

// When argv[1] is one of the options, does what it asks and gives the exit
// code; otherwise nothing, and the caller runs as ever:
//   --help, --version               alone on the line
//   --variables [CONFIG]            every variable and its value here
//   --check [CONFIG]                what would surprise the file's author
//   --preview OUT [CONFIG]          the picture a run would draw, into OUT
// `--help` or `--version` with anything after it is an ordinary run, as it
// always was.
std::optional<int> AnswerOptions(const std::vector<std::string>& argv);

// The usage text the build prints for --help.
const char* UsageText();

}  // namespace paneloom
