// Starting other programs from the Linux layer (the desktops' own tools).
#pragma once

#include <chrono>
#include <memory>
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

    // Whether LocateTool finds an executable of that name.
    virtual bool Present(const std::string& tool) = 0;

    // Runs argv[0] (the file LocateTool finds) with the arguments, its input empty
    // and its error output discarded; its output goes to `output` when that
    // is not null. True when it ran and exited with status 0.
    virtual bool Run(const Argv& argv, std::string* output) = 0;
};

// The executable file a tool's name stands for: an absolute name as it is;
// a bare name in the first absolute PATH entry that holds it (empty and
// relative entries name the current folder, which others may write, and are
// skipped; /usr/bin:/bin where PATH has no absolute entry). Empty when there
// is none; a relative name with a slash is never run.
std::string LocateTool(const std::string& tool);

// The runner that starts real processes. A tool that has not finished
// after ten seconds is killed, with what it started in its process group,
// and no longer waited for a second later, so a hung desktop service, or
// something it left writing to its output, cannot hold up the run.
ToolRunner& SystemToolRunner();

// The same runner with another time limit.
std::unique_ptr<ToolRunner> MakeSystemToolRunner(std::chrono::milliseconds timeLimit);

}  // namespace paneloom::platform::lnx
