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

constexpr std::chrono::seconds kToolTimeLimit{10};
constexpr std::size_t kMaxOutput = 1 << 20;

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Waits for the child, killing it once the time limit has passed. True when
// it exited by itself with status 0.
bool Reap(pid_t child, Clock::time_point deadline, bool killed) {
    int status = 0;
    while (true) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (!killed && Clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            killed = true;
        }
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
    bool Present(const std::string& tool) override {
        if (tool.empty()) return false;
        if (tool.find('/') != std::string::npos) return IsExecutableFile(tool);
        const char* path = std::getenv("PATH");
        const std::string directories = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
        std::string::size_type start = 0;
        while (start <= directories.size()) {
            std::string::size_type colon = directories.find(':', start);
            if (colon == std::string::npos) colon = directories.size();
            std::string directory = directories.substr(start, colon - start);
            if (directory.empty()) directory = ".";
            if (IsExecutableFile(directory + "/" + tool)) return true;
            start = colon + 1;
        }
        return false;
    }

    bool Run(const Argv& argv, std::string* output) override {
        if (argv.empty()) return false;
        SpawnActions actions;
        if (!actions.ok()) return false;
        int pipeFds[2] = {-1, -1};
        if (output != nullptr && ::pipe2(pipeFds, O_CLOEXEC) != 0) return false;
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
        const int spawned = ::posix_spawnp(&child, argv[0].c_str(), actions.get(), nullptr, pointers.data(), environ);
        if (output != nullptr) ::close(pipeFds[1]);
        if (spawned != 0) {
            if (output != nullptr) ::close(pipeFds[0]);
            return false;
        }

        const Clock::time_point deadline = Clock::now() + kToolTimeLimit;
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
                ::kill(child, SIGKILL);
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
                    // Whatever it wrote before exiting is in the pipe now.
                    Drain(fd, output);
                    return false;
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

    static void Drain(int fd, std::string& output) {
        pollfd entry{fd, POLLIN, 0};
        while (::poll(&entry, 1, 0) > 0 && ReadSome(fd, output)) {
        }
    }
};

}  // namespace

ToolRunner& SystemToolRunner() {
    static SystemRunner runner;
    return runner;
}

}  // namespace paneloom::platform::lnx
