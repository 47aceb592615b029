#include "platform/process.h"

#include <windows.h>

#include "platform/win32/run_text.h"

namespace paneloom::platform {

namespace {

class Win32Process final : public Process {
public:
    bool InitFramework() override {
        // The program needs no application framework; what it needs from the
        // start-up is its own module, which every process has.
        return GetModuleHandleA(nullptr) != nullptr;
    }

    std::string RawCommandLine() override {
        const char* line = GetCommandLineA();
        return line != nullptr ? std::string(line) : std::string();
    }

    bool ChangeDirectory(const std::string& directory) override {
        // A UTF-8 run's folder (its output's, under a profile named in any
        // script) is reached whole only through the wide call.
        if (RunInUtf8()) return SetCurrentDirectoryW(WideFromRun(directory).c_str()) != FALSE;
        return SetCurrentDirectoryA(directory.c_str()) != FALSE;
    }
};

}  // namespace

template <>
Process& RealImpl<Process>() {
    static Win32Process process;
    return process;
}

void RecordArguments(int, char**) {}

}  // namespace paneloom::platform
