#include "desktops/linux/desktop_session.h"

#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <system_error>
#include <thread>

namespace paneloom::testing {

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ProcessEntry {
    pid_t pid = 0;
    pid_t parent = 0;
    bool zombie = false;
};

std::vector<ProcessEntry> AllProcesses() {
    std::vector<ProcessEntry> processes;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        // "pid (name) state parent ...": the name may hold blanks and parentheses.
        const std::string stat = ReadAll(entry.path() / "stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos || close + 4 >= stat.size()) continue;
        ProcessEntry process;
        process.pid = static_cast<pid_t>(std::atol(name.c_str()));
        process.zombie = stat[close + 2] == 'Z';
        process.parent = static_cast<pid_t>(std::atol(stat.c_str() + close + 4));
        processes.push_back(process);
    }
    return processes;
}

// The live processes below this one: with this process a subreaper, that
// includes every daemon a service left behind.
std::vector<pid_t> LiveDescendants() {
    const std::vector<ProcessEntry> processes = AllProcesses();
    std::vector<pid_t> found{::getpid()};
    std::vector<pid_t> live;
    for (std::size_t next = 0; next < found.size(); ++next) {
        for (const ProcessEntry& process : processes) {
            if (process.parent != found[next]) continue;
            found.push_back(process.pid);
            if (!process.zombie) live.push_back(process.pid);
        }
    }
    return live;
}

void EndDescendants() {
    for (int round = 0; round < 500; ++round) {
        while (::waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        const std::vector<pid_t> live = LiveDescendants();
        if (live.empty()) break;
        for (const pid_t pid : live) ::kill(pid, round < 250 ? SIGTERM : SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
}

// Waits until `ready` holds, failing when the service ends first or half a
// minute passes: long enough for a loaded machine, short of the suite's limit.
::testing::AssertionResult WaitFor(BackgroundCommand& service, const std::string& what,
                                   const std::function<bool()>& ready) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!ready()) {
        if (!service.Running()) {
            return ::testing::AssertionFailure() << "the service ended before " << what << ": " << service.Errors();
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return ::testing::AssertionFailure() << "no " << what << " after 30 s: " << service.Errors();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ::testing::AssertionSuccess();
}

std::string FirstLine(const std::string& text) {
    const auto end = text.find('\n');
    return end == std::string::npos ? std::string() : text.substr(0, end);
}

}  // namespace

::testing::AssertionResult Installed(const std::string& tool, const std::string& package) {
    const char* path = std::getenv("PATH");
    std::string directories = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    directories += ':';
    for (std::size_t start = 0, colon; (colon = directories.find(':', start)) != std::string::npos;
         start = colon + 1) {
        const fs::path candidate = fs::path(directories.substr(start, colon - start)) / tool;
        if (::access(candidate.c_str(), X_OK) == 0) return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << tool << " is not installed: it comes with Debian's package " << package
                                         << ", which scripts/setup.sh installs";
}

::testing::AssertionResult Activatable(const std::string& busName, const std::string& package) {
    for (const char* directory : {"/usr/local/share/dbus-1/services", "/usr/share/dbus-1/services"}) {
        const std::string text = ReadAll(fs::path(directory) / (busName + ".service"));
        const auto exec = text.find("\nExec=");
        if (exec == std::string::npos) continue;
        const std::string command = text.substr(exec + 6, text.find_first_of(" \n", exec + 6) - exec - 6);
        if (::access(command.c_str(), X_OK) == 0) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << busName << " would start " << command
                                             << ", which is missing: Debian's package " << package << " brings it";
    }
    return ::testing::AssertionFailure() << "no session bus service provides " << busName << ": Debian's package "
                                         << package << " brings one, and scripts/setup.sh installs it";
}

DesktopSession::DesktopSession(bool unprivileged) {
    // Daemons that the services start outlive their parents; as a subreaper
    // this process inherits them and can end them.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    const fs::path home = scratch_.path() / "home";
    for (const fs::path& directory : {home / ".config", home / ".local/share", home / ".local/state", home / ".cache",
                                      scratch_.path() / "runtime", WorkDirectory()}) {
        fs::create_directories(directory);
    }
    fs::permissions(scratch_.path() / "runtime", fs::perms::owner_all);
    program_ = ProgramPath();
    if (unprivileged && ::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        if (nobody == nullptr) {
            ADD_FAILURE() << "no user \"nobody\" to run an unprivileged session as";
        } else {
            EXPECT_TRUE(Installed("setpriv", "util-linux"));
            switchUser_ = true;
            uid_ = nobody->pw_uid;
            gid_ = nobody->pw_gid;
            for (fs::path above = scratch_.path().parent_path();; above = above.parent_path()) {
                struct stat info {};
                if (::stat(above.c_str(), &info) == 0 && (info.st_mode & S_IXOTH) == 0) {
                    ADD_FAILURE() << "\"nobody\" cannot reach the scratch directory through " << above
                                  << ": point TMPDIR elsewhere";
                }
                if (above == above.root_path()) break;
            }
            // The build tree may lie where that user cannot reach it.
            fs::create_directory(scratch_.path() / "bin");
            program_ = (scratch_.path() / "bin" / "paneloom").string();
            fs::copy_file(ProgramPath(), program_);
            Own(scratch_.path());
            for (const auto& entry : fs::recursive_directory_iterator(scratch_.path())) Own(entry.path());
        }
    }
}

DesktopSession::~DesktopSession() {
    while (!services_.empty()) services_.pop_back();
    EndDescendants();
}

void DesktopSession::Own(const fs::path& path) const {
    if (switchUser_ && ::lchown(path.c_str(), uid_, gid_) != 0) ADD_FAILURE() << "cannot hand over " << path;
}

void DesktopSession::Write(const std::string& name, const std::string& bytes) const {
    const fs::path path = WorkDirectory() / name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    Own(path);
}

void DesktopSession::MakeDirectory(const std::string& name) const {
    fs::create_directories(WorkDirectory() / name);
    Own(WorkDirectory() / name);
}

std::vector<std::string> DesktopSession::Environment() const {
    const fs::path home = scratch_.path() / "home";
    const char* path = std::getenv("PATH");
    std::map<std::string, std::string> variables = {
        {"PATH", path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin"},
        {"HOME", home.string()},
        {"XDG_CONFIG_HOME", (home / ".config").string()},
        {"XDG_DATA_HOME", (home / ".local/share").string()},
        {"XDG_STATE_HOME", (home / ".local/state").string()},
        {"XDG_CACHE_HOME", (home / ".cache").string()},
        {"XDG_RUNTIME_DIR", (scratch_.path() / "runtime").string()},
        {"LANG", "C.UTF-8"},
    };
    // A sanitizer build of the program takes the suite's options along.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name)) variables[name] = value;
    }
    for (const auto& [name, value] : variables_) variables[name] = value;
    std::vector<std::string> environment;
    for (const auto& [name, value] : variables) environment.push_back(name + "=" + value);
    return environment;
}

std::vector<std::string> DesktopSession::AsSessionUser(std::vector<std::string> argv) const {
    if (!switchUser_) return argv;
    std::vector<std::string> command = {"setpriv", "--reuid=" + std::to_string(uid_),
                                        "--regid=" + std::to_string(gid_), "--clear-groups", "--"};
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

CommandResult DesktopSession::Run(const std::vector<std::string>& argv) const {
    return RunCommand(AsSessionUser(argv), Environment(), WorkDirectory().string());
}

CommandResult DesktopSession::RunProgram(const std::string& folder) const {
    return RunCommand(AsSessionUser({program_}), Environment(), (WorkDirectory() / folder).string());
}

::testing::AssertionResult DesktopSession::StartService(const std::vector<std::string>& argv,
                                                        const std::vector<std::string>& extraVariables) {
    std::vector<std::string> environment = Environment();
    environment.insert(environment.end(), extraVariables.begin(), extraVariables.end());
    services_.push_back(
        std::make_unique<BackgroundCommand>(AsSessionUser(argv), environment, WorkDirectory().string()));
    if (!services_.back()->Running()) return ::testing::AssertionFailure() << "could not start " << argv[0];
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult DesktopSession::StartBus() {
    if (auto found = Installed("dbus-run-session", "dbus"); !found) return found;
    // The bus lives as long as the command it runs; the services it starts
    // on demand inherit the session's variables, and so its home.
    auto started = StartService(
        {"dbus-run-session", "--", "sh", "-c", "echo \"$DBUS_SESSION_BUS_ADDRESS\"; exec sleep infinity"}, {});
    if (!started) return started;
    BackgroundCommand& bus = *services_.back();
    std::string address;
    auto ready = WaitFor(bus, "bus address", [&] { return !(address = FirstLine(bus.Output())).empty(); });
    if (ready) Set("DBUS_SESSION_BUS_ADDRESS", address);
    return ready;
}

::testing::AssertionResult DesktopSession::StartX(int width, int height) {
    if (auto found = Installed("Xvfb", "xvfb"); !found) return found;
    // A real session keeps a client connected all along; without -noreset
    // the server would reset, root window properties and all, as soon as
    // the last client (the wallpaper tool) leaves. It listens on an
    // abstract socket only and keeps no lock file, so it leaves nothing
    // behind in /tmp.
    auto started = StartService({"Xvfb", "-displayfd", "1", "-noreset", "-nolock", "-nolisten", "tcp", "-nolisten",
                                 "unix", "-screen", "0",
                                 std::to_string(width) + "x" + std::to_string(height) + "x24"},
                                {});
    if (!started) return started;
    BackgroundCommand& server = *services_.back();
    std::string display;
    auto ready = WaitFor(server, "display number", [&] { return !(display = FirstLine(server.Output())).empty(); });
    if (ready) Set("DISPLAY", ":" + display);
    return ready;
}

::testing::AssertionResult DesktopSession::StartSway(int width, int height) {
    if (auto found = Installed("sway", "sway"); !found) return found;
    if (auto found = Installed("swaymsg", "sway"); !found) return found;
    const fs::path config = scratch_.path() / "sway.conf";
    std::ofstream(config) << "xwayland disable\noutput * mode " << width << "x" << height << "\n";
    Own(config);
    auto started = StartService({"sway", "-c", config.string()},
                                {"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"});
    if (!started) return started;
    BackgroundCommand& sway = *services_.back();
    // Its sockets appear in the session's runtime directory.
    std::string ipcSocket;
    std::string waylandSocket;
    auto sockets = WaitFor(sway, "sway sockets", [&] {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(scratch_.path() / "runtime", error)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("sway-ipc.", 0) == 0) ipcSocket = entry.path().string();
            if (name.rfind("wayland-", 0) == 0 && name.find('.') == std::string::npos) waylandSocket = name;
        }
        return !ipcSocket.empty() && !waylandSocket.empty();
    });
    if (!sockets) return sockets;
    Set("SWAYSOCK", ipcSocket);
    Set("WAYLAND_DISPLAY", waylandSocket);
    return WaitFor(sway, "output", [&] {
        return Run({"swaymsg", "-t", "get_outputs"}).output.find("\"current_mode\"") != std::string::npos;
    });
}

bool DesktopSession::BusNameOwned(const std::string& name) const {
    const CommandResult answer = Run({"gdbus", "call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
                                      "/org/freedesktop/DBus", "--method", "org.freedesktop.DBus.NameHasOwner", name});
    return answer.code == 0 && answer.output == "(true,)\n";
}

std::vector<std::vector<std::string>> DesktopSession::CommandLinesOf(const std::string& name) const {
    std::vector<std::vector<std::string>> commandLines;
    for (const pid_t pid : LiveDescendants()) {
        const fs::path process = fs::path("/proc") / std::to_string(pid);
        if (ReadAll(process / "comm") != name + "\n") continue;
        std::vector<std::string> argv;
        const std::string text = ReadAll(process / "cmdline");
        for (std::size_t start = 0, end; (end = text.find('\0', start)) != std::string::npos; start = end + 1) {
            argv.push_back(text.substr(start, end - start));
        }
        commandLines.push_back(argv);
    }
    return commandLines;
}

}  // namespace paneloom::testing
