// Under Wine, the Unix host that Wine runs on. Some faults cannot be made
// through Win32 there: Wine keeps no read-only attribute on a directory,
// and files are opened by the Wine server, so only the host can make a
// read-only or full file system the program sees, or start the program
// under a file-size limit. On Windows itself there is no host and the tests
// that need it are skipped.
#pragma once

#include <string>

namespace paneloom::testing {

// True when the tests run under Wine and can start host commands.
bool HasUnixHost();

// Runs `script` with the host's /bin/sh and waits for it. Its exit status,
// or -1 when it cannot be started. The script inherits this process's
// environment, WINELOADER and WINEPREFIX included.
int RunOnHost(const std::string& script);

// The host's path of a Windows path; empty when it has none.
std::string HostPath(const std::string& windowsPath);

// `text` in single quotes for the host's shell.
std::string ShellQuoted(const std::string& text);

}  // namespace paneloom::testing
