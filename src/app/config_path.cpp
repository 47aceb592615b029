#include "app/config_path.h"

#include <cstdint>
#include <vector>

#include "codepage/ansi_text.h"
#include "config/markup.h"
#include "platform/process.h"

namespace paneloom {

namespace {

// Positions of the first `count` double quotes in the line.
std::vector<std::int32_t> QuotePositions(const std::string& line, std::size_t count) {
    std::vector<std::int32_t> positions;
    std::int32_t from = 0;
    while (positions.size() < count) {
        const std::int32_t at = FindText(line, "\"", from);
        if (at < 0) break;
        positions.push_back(at);
        from = at + 1;
    }
    return positions;
}

}  // namespace

bool GetQuotedArgument(const std::string& commandLine, std::string& path) {
    const std::vector<std::int32_t> quotes = QuotePositions(commandLine, 4);
    if (quotes.size() < 4) return false;
    path = commandLine.substr(static_cast<std::size_t>(quotes[2]) + 1,
                              static_cast<std::size_t>(quotes[3] - quotes[2] - 1));
    return true;
}

bool GetExecutableDirectory(const std::string& commandLine, std::string& directory) {
    const std::vector<std::int32_t> quotes = QuotePositions(commandLine, 2);
    if (quotes.size() < 2) return false;
    const std::string program = commandLine.substr(static_cast<std::size_t>(quotes[0]) + 1,
                                                   static_cast<std::size_t>(quotes[1] - quotes[0] - 1));
    // The last backslash, found by a boundary-respecting forward scan so that a
    // trailing byte of a double-byte character is never taken for one.
    std::int32_t last = -1;
    for (std::int32_t at = FindText(program, "\\", 0); at >= 0; at = FindText(program, "\\", at + 1)) last = at;
    if (last < 0) return false;
    directory = program.substr(0, static_cast<std::size_t>(last));
    return true;
}

void ResolveConfigPath(const std::string& commandLine, RunSettings& settings) {
    if (GetAttribute(commandLine, "config", settings.configPath)) return;
    if (GetQuotedArgument(commandLine, settings.configPath)) {
        std::string directory;
        if (GetExecutableDirectory(commandLine, directory)) {
            platform::Get<platform::Process>().ChangeDirectory(directory);
        }
    }
}

}  // namespace paneloom
