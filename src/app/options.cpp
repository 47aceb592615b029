#include "app/options.h"

#include "app/check.h"
#include "app/preview.h"
#include "app/variable_listing.h"
#include "platform/console.h"

namespace paneloom {

namespace {

// What the three checking options do, the same on both builds.
#define PANELOOM_OPTIONS_HELP \
    "  --variables [FILE]    every variable the program knows, one a line in the\n" \
    "                        order they are replaced, a tab, its value here.\n" \
    "  --check [FILE]        what in FILE would surprise its author, one finding\n" \
    "                        a line as FILE:LINE: message. Exit code 0 and no\n" \
    "                        output when there is nothing, 1 when there is.\n" \
    "  --preview OUT [FILE]  draws the picture a run would into OUT (.png, else\n" \
    "                        .bmp) without writing the output picture or touching\n" \
    "                        the wallpaper; messages go to standard error. The\n" \
    "                        exit code is the run's.\n" \
    "These options count only as the first argument.\n"

#ifdef _WIN32
constexpr const char* kVersionLine = "Paneloom " PANELOOM_VERSION "\n";
constexpr const char* kUsage =
    "Usage: \"Paneloom.exe\" \"FILE\"\n"
    "       Paneloom.exe config=\"FILE\"\n"
    "       Paneloom.exe --variables [FILE]\n"
    "       Paneloom.exe --check [FILE]\n"
    "       Paneloom.exe --preview OUT [FILE]\n"
    "       Paneloom.exe --help | --version\n"
    "\n"
    "Draws a report of this machine (host, addresses, system, processor, memory,\n"
    "disks, user) into a copy of a picture and makes it the desktop wallpaper, as\n"
    "the configuration FILE (default: paneloom.xml) describes. A run prints\n"
    "nothing; failures go to paneloomerror.log.\n"
    "\n"
    "Naming the configuration. The program reads the raw command line, not its\n"
    "arguments, and knows two forms:\n"
    "  Paneloom.exe config=\"D:\\cfg\\desk.xml\"\n"
    "      the file in quotes after config=, relative to the current folder.\n"
    "  \"C:\\Tools\\Paneloom.exe\" \"desk.xml\"\n"
    "      the second quoted name, when the program's own path is quoted too:\n"
    "      the program's folder becomes the current folder, and desk.xml, the\n"
    "      pictures and the log are found there.\n"
    "Beware: Paneloom.exe desk.xml, or Paneloom.exe \"desk.xml\" with the program\n"
    "unquoted, names no configuration and reads paneloom.xml from the current\n"
    "folder. Write config=\"desk.xml\" instead. Picture names in the file are\n"
    "lower-cased when read, which Windows' file names ignore.\n"
    "\n"
    "Checking a configuration (FILE is read from the current folder, default\n"
    "paneloom.xml; these change nothing on disk or desktop and write no log):\n"
    PANELOOM_OPTIONS_HELP
    "\n"
    "Exit codes of a run: 0 done (also when the configuration cannot be read),\n"
    "1 start-up failed, 2 or 3 the input picture could not be read, -1 an\n"
    "unexpected failure (logged as \"Error in main loop\"); 64 options written\n"
    "wrongly.\n";
#else
constexpr const char* kVersionLine = "paneloom " PANELOOM_VERSION "\n";
constexpr const char* kUsage =
    "Usage: paneloom [config=FILE | FILE]\n"
    "       paneloom --variables [FILE]\n"
    "       paneloom --check [FILE]\n"
    "       paneloom --preview OUT [FILE]\n"
    "       paneloom --help | --version\n"
    "\n"
    "Draws a report of this machine (host, addresses, system, processor, memory,\n"
    "disks, user) into a copy of a picture and makes it the desktop wallpaper, as\n"
    "the configuration FILE (default: paneloom.xml in the current directory)\n"
    "describes. Relative paths in it, and the error log paneloomerror.log, are\n"
    "in the current directory. Picture names in the file are used as written.\n"
    "\n"
    "A run prints nothing. Exit codes: 0 done (also when the configuration cannot\n"
    "be read), 1 start-up failed, 2 or 3 the input picture could not be read,\n"
    "255 an unexpected failure (logged as \"Error in main loop\"), 64 options\n"
    "written wrongly.\n"
    "\n"
    "Checking a configuration (these change nothing on disk or desktop and\n"
    "write no log; FILE defaults to paneloom.xml):\n"
    PANELOOM_OPTIONS_HELP
    "\n"
    "See paneloom(1) for the configuration format and the variables.\n";
#endif
#undef PANELOOM_OPTIONS_HELP

constexpr const char* kDefaultConfig = "paneloom.xml";

int Print(const char* text) {
    return platform::Get<platform::Console>().Write(platform::ConsoleStream::kOutput, text) ? 0 : 1;
}

int WrongUsage(const std::string& option, const char* form) {
    platform::Get<platform::Console>().Write(platform::ConsoleStream::kErrors,
                                             "usage: " + option + " " + form + " (see --help)\n");
    return kExitUsage;
}

}  // namespace

const char* UsageText() { return kUsage; }

std::optional<int> AnswerOptions(const std::vector<std::string>& argv) {
    if (argv.size() < 2) return std::nullopt;
    const std::string& option = argv[1];
    const std::size_t rest = argv.size() - 2;
    if (option == "--help" || option == "--version") {
        if (rest != 0) return std::nullopt;
        return Print(option == "--help" ? kUsage : kVersionLine);
    }
    if (option == "--variables" || option == "--check") {
        if (rest > 1) return WrongUsage(option, "[FILE]");
        const std::string config = rest == 1 ? argv[2] : kDefaultConfig;
        return option == "--check" ? CheckConfiguration(config) : ListVariables(config);
    }
    if (option == "--preview") {
        if (rest < 1 || rest > 2) return WrongUsage(option, "OUT [FILE]");
        return Preview(argv[2], rest == 2 ? argv[3] : kDefaultConfig);
    }
    return std::nullopt;
}

}  // namespace paneloom
