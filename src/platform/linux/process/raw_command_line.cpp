#include "platform/linux/process/raw_command_line.h"

namespace paneloom::platform::lnx {

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
        const std::size_t equals = argument.find('=');
        if (equals != std::string::npos && equals > 0) {
            line += argument.substr(0, equals + 1) + '"' + argument.substr(equals + 1) + '"';
        } else {
            line += '"' + argument + '"';
        }
    }
    return line;
}

}  // namespace paneloom::platform::lnx
