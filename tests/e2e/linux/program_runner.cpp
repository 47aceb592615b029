#include "e2e/program_runner.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

extern char** environ;

namespace paneloom::testing {

std::string ProgramPath() { return PANELOOM_PROGRAM; }

int RunWithArguments(const std::vector<std::string>& argv, const std::string& directory) {
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(directory);
    std::vector<char*> pointers;
    for (const std::string& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
    pointers.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, ProgramPath().c_str(), nullptr, nullptr, pointers.data(), environ);
    std::filesystem::current_path(previous);
    if (spawned != 0) return -1000;
    int status = 0;
    if (waitpid(child, &status, 0) < 0) return -1001;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1002;
}

}  // namespace paneloom::testing
