#include "platform/process.h"

#include <unistd.h>

#include <string>
#include <vector>

#include "platform/linux/process/raw_command_line.h"

namespace paneloom::platform {

namespace {

std::vector<std::string>& RecordedArguments() {
    static std::vector<std::string> arguments;
    return arguments;
}

class LinuxProcess final : public Process {
public:
    bool InitFramework() override { return true; }

    std::string RawCommandLine() override { return lnx::RebuildCommandLine(RecordedArguments()); }

    bool ChangeDirectory(const std::string& directory) override {
        return ::chdir(directory.c_str()) == 0;
    }
};

}  // namespace

template <>
Process& RealImpl<Process>() {
    static LinuxProcess process;
    return process;
}

void RecordArguments(int argc, char** argv) {
    std::vector<std::string>& arguments = RecordedArguments();
    arguments.clear();
    for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
}

}  // namespace paneloom::platform
