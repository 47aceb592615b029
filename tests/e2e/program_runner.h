// Starts the built program and waits for its exit code.
#pragma once

#include <string>
#include <vector>

namespace paneloom::testing {

// The program under test, as a path this test can run.
std::string ProgramPath();

#ifdef _WIN32
// Starts the program with this exact raw command line, in `directory`.
int RunWithCommandLine(const std::string& commandLine, const std::string& directory);
#else
// Starts the program with this argument vector (argv[0] first), in `directory`.
int RunWithArguments(const std::vector<std::string>& argv, const std::string& directory);
#endif

}  // namespace paneloom::testing
