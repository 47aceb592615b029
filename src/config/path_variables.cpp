#include "config/path_variables.h"

#include <cstdint>
#include <optional>

#include "codepage/ansi_text.h"
#include "platform/environment.h"

namespace paneloom {

bool ExpandPathVariables(std::string& path) {
    platform::Environment& environment = platform::Get<platform::Environment>();
    std::string expanded;
    bool replaced = false;
    std::int32_t from = 0;
    while (true) {
        const std::int32_t open = FindText(path, "%", from);
        if (open < 0) break;
        const std::int32_t close = FindText(path, "%", open + 1);
        if (close < 0) break;
        expanded.append(path, static_cast<std::size_t>(from), static_cast<std::size_t>(open - from));
        const std::string name = path.substr(static_cast<std::size_t>(open) + 1,
                                             static_cast<std::size_t>(close - open - 1));
        std::optional<std::string> value;
        if (!name.empty() && name.find('=') == std::string::npos) value = environment.Variable(name);
        // An empty value counts as none: %LOCALAPPDATA% set to nothing must not
        // turn a user's folder into the root of the drive, shared by all.
        if (value && !value->empty()) {
            expanded += *value;
            replaced = true;
        } else {
            expanded.append(path, static_cast<std::size_t>(open), static_cast<std::size_t>(close - open + 1));
        }
        from = close + 1;
    }
    if (!replaced) return false;
    expanded.append(path, static_cast<std::size_t>(from), std::string::npos);
    path = std::move(expanded);
    return true;
}

}  // namespace paneloom
