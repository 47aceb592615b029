#include "e2e/program_runner.h"

#include <windows.h>

namespace paneloom::testing {

std::string ProgramPath() {
    // The build records a Unix path; Wine maps the Unix root to drive Z:.
    std::string path = PANELOOM_PROGRAM;
    if (!path.empty() && path[0] == '/') {
        for (char& c : path) {
            if (c == '/') c = '\\';
        }
        path = "Z:" + path;
    }
    return path;
}

int RunWithCommandLine(const std::string& commandLine, const std::string& directory) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(), &startup,
                        &info)) {
        return -1000;
    }
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return static_cast<int>(code);
}

}  // namespace paneloom::testing
