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

// The same, with its standard output and standard error each going to a
// pipe, read whole into `output` and `errors`.
int RunCapturing(const std::string& commandLine, const std::string& directory, std::string& output,
                 std::string& errors);
#else
// This process's environment as it is now, with a cache folder of this
// test process's own (removed when it ends) in place of the user's: what
// the program keeps between runs never lands in the home of whoever runs
// the tests.
std::vector<std::string> InheritedEnvironment();

// Starts the program with this argument vector (argv[0] first), in
// `directory`, with the inherited environment above.
int RunWithArguments(const std::vector<std::string>& argv, const std::string& directory);

// How a run of the program ended, and the most memory it held.
struct MeasuredRun {
    int code = -1;     // its exit status; -1 when it did not start or a signal ended it
    long peakKib = 0;  // its peak resident memory, as wait4 reports it
};

// Runs the program as RunWithArguments does, from a child of this process
// made by fork, so that the peak wait4 reports is the program's own or, when
// that is less, this process's resident memory at the fork: compare it with
// another run measured the same way.
MeasuredRun RunMeasured(const std::vector<std::string>& argv, const std::string& directory);

// How a command ended and what it wrote.
struct CommandResult {
    int code = -1;  // its exit status; -1 when it did not start, was killed or ended by a signal
    std::string output;
    std::string errors;
};

// `environment` with this process's sanitizer options (the sanitizer
// build's leak suppressions) added, so that a sanitizer's report never lands
// in the output and exit code a test reads.
std::vector<std::string> WithSanitizerOptions(std::vector<std::string> environment);

// Runs `argv` (argv[0] looked up on PATH unless it names a path) in
// `directory` with exactly the variables in `environment` ("NAME=value"),
// its input empty, and waits for it. One still running after a minute is
// killed, so that a hung service fails its test instead of the whole suite.
CommandResult RunCommand(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                         const std::string& directory);

// A command that runs while the object lives, started as RunCommand starts
// one. What it writes can be read at any time; the object ends it (a
// termination signal, then a kill) and waits for it.
class BackgroundCommand {
public:
    BackgroundCommand(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                      const std::string& directory);
    ~BackgroundCommand();
    BackgroundCommand(const BackgroundCommand&) = delete;
    BackgroundCommand& operator=(const BackgroundCommand&) = delete;

    bool Running();
    std::string Output() const;
    std::string Errors() const;

private:
    int output_ = -1;
    int errors_ = -1;
    int pid_ = -1;
};
#endif

}  // namespace paneloom::testing
