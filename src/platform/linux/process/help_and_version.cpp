#include "platform/linux/process/help_and_version.h"

#include <cstdio>

namespace paneloom::platform::lnx {

namespace {

constexpr const char* kUsage =
    "Usage: paneloom [config=FILE | FILE]\n"
    "       paneloom --help | --version\n"
    "\n"
    "Draws a report of this machine (host, addresses, system, processor, memory,\n"
    "disks, user) into a copy of a picture and makes it the desktop wallpaper, as\n"
    "the configuration FILE (default: paneloom.xml in the current directory)\n"
    "describes. Relative paths in it, and the error log paneloomerror.log, are\n"
    "in the current directory.\n"
    "\n"
    "A run prints nothing. Exit codes: 0 done (also when the configuration cannot\n"
    "be read), 1 start-up failed, 2 or 3 the input picture could not be read,\n"
    "255 an unexpected failure (logged as \"Error in main loop\").\n"
    "\n"
    "See paneloom(1) for the configuration format and the variables.\n";

}  // namespace

std::optional<int> AnswerHelpOrVersion(const std::vector<std::string>& argv) {
    if (argv.size() != 2) return std::nullopt;
    std::string answer;
    if (argv[1] == "--help") {
        answer = kUsage;
    } else if (argv[1] == "--version") {
        answer = std::string("paneloom ") + PANELOOM_VERSION + "\n";
    } else {
        return std::nullopt;
    }
    // A usage text lost to a full disk or a closed pipe is a failure, not a
    // success that printed nothing.
    const bool written = std::fwrite(answer.data(), 1, answer.size(), stdout) == answer.size();
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace paneloom::platform::lnx
