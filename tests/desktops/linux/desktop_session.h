// A desktop session made for one test, never the machine's own: a scratch
// home with its own XDG directories, the services a desktop runs, started
// with the session's variables only, and the real program run inside it.
// When the session ends, so does every process it started and every
// process those left behind.
#pragma once

#include <sys/types.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "e2e/program_runner.h"
#include "support/scratch.h"

namespace paneloom::testing {

class DesktopSession {
public:
    // An unprivileged session belongs to "nobody" when the tests run as
    // root, for a desktop that refuses to run as root.
    explicit DesktopSession(bool unprivileged = false);
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // Where the program runs, with its configuration and pictures.
    std::filesystem::path WorkDirectory() const { return scratch_.path() / "work"; }

    // A file or directory in the work directory, owned by the session's user.
    void Write(const std::string& name, const std::string& bytes) const;
    void MakeDirectory(const std::string& name) const;

    // A variable that the session's programs see, such as XDG_CURRENT_DESKTOP.
    void Set(const std::string& name, const std::string& value) { variables_[name] = value; }

    // Each starts a service and sets the variables that lead to it.
    ::testing::AssertionResult StartBus();                     // a private D-Bus session bus
    ::testing::AssertionResult StartX(int width, int height);     // an X server with one screen
    ::testing::AssertionResult StartSway(int width, int height);  // a headless sway with one output

    // A tool run by the session's user in the work directory.
    CommandResult Run(const std::vector<std::string>& argv) const;

    // The program, with no arguments, in the work directory or a folder in it.
    CommandResult RunProgram(const std::string& folder = "") const;

    // Whether a process holds `name` on the session bus: the service that
    // answered is the real one.
    bool BusNameOwned(const std::string& name) const;

    // The argument vectors of the running processes named `name` that this
    // session started, directly or through others.
    std::vector<std::vector<std::string>> CommandLinesOf(const std::string& name) const;

private:
    std::vector<std::string> Environment() const;
    std::vector<std::string> AsSessionUser(std::vector<std::string> argv) const;
    void Own(const std::filesystem::path& path) const;
    ::testing::AssertionResult StartService(const std::vector<std::string>& argv,
                                            const std::vector<std::string>& extraVariables);

    ScratchDir scratch_;
    bool switchUser_ = false;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    std::string program_;
    std::map<std::string, std::string> variables_;
    std::vector<std::unique_ptr<BackgroundCommand>> services_;
};

// Whether `tool` is on PATH; when not, the failure names the Debian package
// that brings it.
::testing::AssertionResult Installed(const std::string& tool, const std::string& package);

// Whether a session bus can start the service that owns `busName`.
::testing::AssertionResult Activatable(const std::string& busName, const std::string& package);

}  // namespace paneloom::testing
