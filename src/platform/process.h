// The process: how it was started and where it runs.
#pragma once

#include <string>

#include "platform/seam.h"

namespace paneloom::platform {

class Process {
public:
    virtual ~Process() = default;

    // Whatever the platform needs before anything else runs; false ends the
    // run with exit code 1.
    virtual bool InitFramework() = 0;

    // The raw command line as one 8-bit text, program path included, never
    // split into arguments.
    virtual std::string RawCommandLine() = 0;

    // Changes the current directory; false when the platform refused.
    virtual bool ChangeDirectory(const std::string& directory) = 0;
};

template <>
Process& RealImpl<Process>();

// Called once from main() with the runtime's argument vector. Windows ignores
// it (the raw command line comes from the system); Linux rebuilds the raw
// command line from it.
void RecordArguments(int argc, char** argv);

}  // namespace paneloom::platform
