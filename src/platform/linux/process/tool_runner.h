// Starting other programs from the Linux layer (the desktops' own tools).
#pragma once

#include <string>
#include <vector>

namespace paneloom::platform::lnx {

// An argument vector: the program's name first, then its arguments.
using Argv = std::vector<std::string>;

// Starts tools. Never through a shell: the arguments reach the tool exactly
// as given.
class ToolRunner {
public:
    virtual ~ToolRunner() = default;

    // Whether an executable of that name is on PATH.
    virtual bool Present(const std::string& tool) = 0;

    // Runs argv[0] (looked up on PATH) with the arguments, its input empty
    // and its error output discarded; its output goes to `output` when that
    // is not null. True when it ran and exited with status 0.
    virtual bool Run(const Argv& argv, std::string* output) = 0;
};

// The runner that starts real processes. A tool that has not finished
// after ten seconds is killed, so a hung desktop service cannot hold up the
// run.
ToolRunner& SystemToolRunner();

}  // namespace paneloom::platform::lnx
