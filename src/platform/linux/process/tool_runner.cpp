#include "platform/linux/process/tool_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace paneloom::platform::lnx {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxOutput = 1 << 20;
// How long a killed tool may take to be reaped: one that a hung file system
// holds cannot die at once, and the run does not wait for it.
constexpr std::chrono::milliseconds kReapGrace{1000};

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Ends the tool and whatever it started that is still in its process group.
void KillTool(pid_t child) {
    ::kill(-child, SIGKILL);
    ::kill(child, SIGKILL);
}

// Waits for the child, killing it (and its group) once the deadline has
// passed, and giving up on it a grace period later. True when it exited by
// itself with status 0.
bool Reap(pid_t child, Clock::time_point deadline, bool killed) {
    int status = 0;
    Clock::time_point giveUp = deadline + kReapGrace;
    while (true) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        const Clock::time_point now = Clock::now();
        if (!killed && now >= deadline) {
            KillTool(child);
            killed = true;
            giveUp = now + kReapGrace;
        }
        if (killed && now >= giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return !killed && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class SpawnActions {
public:
    SpawnActions() { ok_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
    ~SpawnActions() {
        if (ok_) ::posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;

    bool ok() const { return ok_; }
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
};

class SystemRunner final : public ToolRunner {
public:
    explicit SystemRunner(std::chrono::milliseconds timeLimit) : timeLimit_(timeLimit) {}

    bool Present(const std::string& tool) override { return !LocateTool(tool).empty(); }

    bool Run(const Argv& argv, std::string* output) override {
        if (argv.empty()) return false;
        // What was found is what runs: the path is not looked up again.
        const std::string program = LocateTool(argv[0]);
        if (program.empty()) return false;
        SpawnActions actions;
        if (!actions.ok()) return false;
        posix_spawnattr_t attributes;
        if (::posix_spawnattr_init(&attributes) != 0) return false;
        // A group of its own, so that a tool killed at the deadline takes
        // along whatever it started and left holding its output.
        ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        ::posix_spawnattr_setpgroup(&attributes, 0);
        int pipeFds[2] = {-1, -1};
        if (output != nullptr && ::pipe2(pipeFds, O_CLOEXEC) != 0) {
            ::posix_spawnattr_destroy(&attributes);
            return false;
        }
        ::posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
        if (output != nullptr) {
            ::posix_spawn_file_actions_adddup2(actions.get(), pipeFds[1], 1);
        } else {
            ::posix_spawn_file_actions_addopen(actions.get(), 1, "/dev/null", O_WRONLY, 0);
        }
        ::posix_spawn_file_actions_addopen(actions.get(), 2, "/dev/null", O_WRONLY, 0);

        std::vector<char*> pointers;
        for (const std::string& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
        pointers.push_back(nullptr);

        pid_t child = 0;
        const int spawned = ::posix_spawn(&child, program.c_str(), actions.get(), &attributes, pointers.data(), environ);
        ::posix_spawnattr_destroy(&attributes);
        if (output != nullptr) ::close(pipeFds[1]);
        if (spawned != 0) {
            if (output != nullptr) ::close(pipeFds[0]);
            return false;
        }

        const Clock::time_point deadline = Clock::now() + timeLimit_;
        bool killed = false;
        if (output != nullptr) {
            killed = ReadOutput(pipeFds[0], child, deadline, *output);
            ::close(pipeFds[0]);
        }
        return Reap(child, deadline, killed);
    }

private:
    // Reads the child's output until it closes it, or until the child has
    // exited and nothing more is waiting (a daemon it started may keep the
    // pipe open), or until the deadline, when the child is killed. True
    // when it was killed.
    static bool ReadOutput(int fd, pid_t child, Clock::time_point deadline, std::string& output) {
        while (true) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                KillTool(child);
                return true;
            }
            pollfd entry{fd, POLLIN, 0};
            const int ready = ::poll(&entry, 1, static_cast<int>(left < 50 ? left : 50));
            if (ready < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (ready == 0) {
                siginfo_t info{};
                if (::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                    info.si_pid == child) {
                    // Whatever it wrote before exiting is in the pipe now;
                    // what something it left behind keeps writing is not
                    // waited for past the deadline.
                    if (Drain(fd, deadline, output)) return false;
                    KillTool(child);
                    return true;
                }
                continue;
            }
            if (!ReadSome(fd, output)) return false;
        }
    }

    // One read; false at the end of the output or on an error.
    static bool ReadSome(int fd, std::string& output) {
        char buffer[4096];
        ssize_t got = 0;
        do {
            got = ::read(fd, buffer, sizeof buffer);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) return false;
        if (output.size() < kMaxOutput) output.append(buffer, static_cast<std::size_t>(got));
        return true;
    }

    // Reads what is waiting in the pipe; false when more kept coming until
    // the deadline.
    static bool Drain(int fd, Clock::time_point deadline, std::string& output) {
        pollfd entry{fd, POLLIN, 0};
        while (::poll(&entry, 1, 0) > 0 && ReadSome(fd, output)) {
            if (Clock::now() >= deadline) return false;
        }
        return true;
    }

    std::chrono::milliseconds timeLimit_;
};

}  // namespace

std::string LocateTool(const std::string& tool) {
    if (tool.empty()) return std::string();
    if (tool.find('/') != std::string::npos) return tool[0] == '/' && IsExecutableFile(tool) ? tool : std::string();
    // An empty or relative entry names the current folder, or one below it,
    // where anyone who can write there could plant a tool; only absolute
    // entries are searched.
    const char* path = std::getenv("PATH");
    std::string directories = path != nullptr ? path : "";
    bool anyAbsolute = false;
    for (std::string::size_type start = 0; start <= directories.size();) {
        std::string::size_type colon = directories.find(':', start);
        if (colon == std::string::npos) colon = directories.size();
        if (colon > start && directories[start] == '/') anyAbsolute = true;
        start = colon + 1;
    }
    if (!anyAbsolute) directories = "/usr/bin:/bin";
    for (std::string::size_type start = 0; start <= directories.size();) {
        std::string::size_type colon = directories.find(':', start);
        if (colon == std::string::npos) colon = directories.size();
        const std::string directory = directories.substr(start, colon - start);
        start = colon + 1;
        if (directory.empty() || directory[0] != '/') continue;
        const std::string candidate = directory + (directory.back() == '/' ? "" : "/") + tool;
        if (IsExecutableFile(candidate)) return candidate;
    }
    return std::string();
}

ToolRunner& SystemToolRunner() {
    static SystemRunner runner(std::chrono::seconds(10));
    return runner;
}

std::unique_ptr<ToolRunner> MakeSystemToolRunner(std::chrono::milliseconds timeLimit) {
    return std::make_unique<SystemRunner>(timeLimit);
}

}  // namespace paneloom::platform::lnx
