#include "e2e/program_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

extern char** environ;

namespace paneloom::testing {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> Pointers(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (const std::string& text : texts) pointers.push_back(const_cast<char*>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

// A child's output goes to a file that lives in memory only: it can be read
// whenever the test likes, and a daemon the child leaves behind holding it
// cannot keep the test waiting for an end of file.
int MemoryFile(const char* name) { return ::memfd_create(name, MFD_CLOEXEC); }

std::string Contents(int fd) {
    std::string text;
    char buffer[65536];
    off_t offset = 0;
    while (fd >= 0) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, offset);
        if (got <= 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
        offset += got;
    }
    return text;
}

pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
            const std::string& directory, int output, int errors) {
    if (argv.empty() || output < 0 || errors < 0) return -1;
    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0) return -1;
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, output, 1);
    ::posix_spawn_file_actions_adddup2(&actions, errors, 2);
    ::posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    std::vector<char*> arguments = Pointers(argv);
    std::vector<char*> variables = Pointers(environment);
    pid_t child = -1;
    if (::posix_spawnp(&child, argv[0].c_str(), &actions, nullptr, arguments.data(), variables.data()) != 0) {
        child = -1;
    }
    ::posix_spawn_file_actions_destroy(&actions);
    return child;
}

// Waits for the child until `deadline`, then kills it. Its exit status, or
// -1 when a signal ended it.
int WaitUntil(pid_t child, Clock::time_point deadline) {
    int status = 0;
    bool killed = false;
    while (true) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0 && errno != EINTR) return -1;
        if (!killed && Clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            killed = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A cache folder of this test process's own, made before any test starts
// (a test's forked child must not be the one to make it) and removed when
// the process ends, by the process that made it.
class PrivateCache {
public:
    PrivateCache() : owner_(::getpid()) {
        const char* temporary = std::getenv("TMPDIR");
        std::string pattern = std::string(temporary != nullptr && *temporary == '/' ? temporary : "/tmp") +
                              "/paneloom-test-cache-XXXXXX";
        if (::mkdtemp(&pattern[0]) != nullptr) folder_ = pattern;
    }
    ~PrivateCache() {
        std::error_code ignored;
        if (!folder_.empty() && ::getpid() == owner_) std::filesystem::remove_all(folder_, ignored);
    }
    const std::string& Folder() const { return folder_; }

private:
    pid_t owner_;
    std::string folder_;
};

const PrivateCache privateCache;

}  // namespace

std::vector<std::string> InheritedEnvironment() {
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        if (std::strncmp(*variable, "XDG_CACHE_HOME=", 15) != 0) environment.emplace_back(*variable);
    }
    if (!privateCache.Folder().empty()) environment.push_back("XDG_CACHE_HOME=" + privateCache.Folder());
    return environment;
}

std::string ProgramPath() { return PANELOOM_PROGRAM; }

std::vector<std::string> WithSanitizerOptions(std::vector<std::string> environment) {
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name)) environment.push_back(std::string(name) + "=" + value);
    }
    return environment;
}

int RunWithArguments(const std::vector<std::string>& argv, const std::string& directory) {
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(directory);
    std::vector<char*> pointers = Pointers(argv);
    const std::vector<std::string> environment = InheritedEnvironment();
    std::vector<char*> variables = Pointers(environment);
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, ProgramPath().c_str(), nullptr, nullptr, pointers.data(), variables.data());
    std::filesystem::current_path(previous);
    if (spawned != 0) return -1000;
    int status = 0;
    if (waitpid(child, &status, 0) < 0) return -1001;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1002;
}

MeasuredRun RunMeasured(const std::vector<std::string>& argv, const std::string& directory) {
    const std::string program = ProgramPath();
    std::vector<char*> pointers = Pointers(argv);
    const std::vector<std::string> environment = InheritedEnvironment();
    std::vector<char*> variables = Pointers(environment);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(directory.c_str()) == 0) ::execve(program.c_str(), pointers.data(), variables.data());
        ::_exit(127);
    }
    MeasuredRun run;
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return run;
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakKib = usage.ru_maxrss;
    return run;
}

CommandResult RunCommand(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                         const std::string& directory) {
    CommandResult result;
    const int output = MemoryFile("output");
    const int errors = MemoryFile("errors");
    const pid_t child = Start(argv, environment, directory, output, errors);
    if (child < 0) {
        result.errors = "could not start " + (argv.empty() ? std::string("nothing") : argv[0]);
    } else {
        result.code = WaitUntil(child, Clock::now() + std::chrono::minutes(1));
        result.output = Contents(output);
        result.errors = Contents(errors);
    }
    if (output >= 0) ::close(output);
    if (errors >= 0) ::close(errors);
    return result;
}

BackgroundCommand::BackgroundCommand(const std::vector<std::string>& argv,
                                     const std::vector<std::string>& environment, const std::string& directory)
    : output_(MemoryFile("output")), errors_(MemoryFile("errors")) {
    pid_ = Start(argv, environment, directory, output_, errors_);
}

BackgroundCommand::~BackgroundCommand() {
    if (Running()) {
        ::kill(pid_, SIGTERM);
        WaitUntil(pid_, Clock::now() + std::chrono::seconds(10));
    }
    if (output_ >= 0) ::close(output_);
    if (errors_ >= 0) ::close(errors_);
}

bool BackgroundCommand::Running() {
    if (pid_ < 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == 0) return true;
    pid_ = -1;
    return false;
}

std::string BackgroundCommand::Output() const { return Contents(output_); }

std::string BackgroundCommand::Errors() const { return Contents(errors_); }

}  // namespace paneloom::testing
