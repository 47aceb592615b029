#include "platform/linux/process/raw_command_line.h"

#include <string_view>

#include "common/scan.h"

namespace paneloom::platform::lnx {

namespace {

// config=, -config=, --config=, /config=: the part before the first `=`
// ends in the letters that the command-line rules look for.
bool NamesTheConfiguration(std::string_view argument, std::string_view::size_type equals) {
    return equals != std::string_view::npos && EndsWith(argument.substr(0, equals), "config");
}

}  // namespace

std::string RebuildCommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& argument = argv[i];
        if (i > 0) line += ' ';
        if (i == 0) {
            line += '"' + argument + '"';
            continue;
        }
        if (argument.find('"') != std::string::npos) {
            line += argument;
            continue;
        }
        // Any other name=value is a path that holds a `=`, quoted whole.
        const std::size_t equals = argument.find('=');
        if (NamesTheConfiguration(argument, equals)) {
            line += argument.substr(0, equals + 1) + '"' + argument.substr(equals + 1) + '"';
        } else {
            line += '"' + argument + '"';
        }
    }
    return line;
}

}  // namespace paneloom::platform::lnx
