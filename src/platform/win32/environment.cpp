#include "platform/environment.h"

#include <windows.h>

#include <vector>

namespace paneloom::platform {

namespace {

class Win32Environment final : public Environment {
public:
    std::optional<std::string> Variable(const std::string& name) override {
        SetLastError(ERROR_SUCCESS);
        const DWORD needed = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
        if (needed == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::string();
        }
        std::vector<char> buffer(needed);
        const DWORD length = GetEnvironmentVariableA(name.c_str(), buffer.data(), needed);
        if (length >= needed) return std::nullopt;  // changed in between: not ours to chase
        return std::string(buffer.data(), length);
    }

    std::string MakeFolderOf(const std::string& filePath) override {
        const std::string::size_type last = filePath.find_last_of("\\/");
        if (last == std::string::npos || last == 0) return std::string();
        const std::string folder = filePath.substr(0, last);
        if (folder.back() == ':') return std::string();  // the drive's root or its current folder
        // Each folder on the way down, from the first below the root; the
        // ones that exist (and a UNC path's server and share, which cannot be
        // made) refuse, which is what is wanted.
        for (std::string::size_type at = folder.find_first_of("\\/", 1);; at = folder.find_first_of("\\/", at + 1)) {
            const std::string step = at == std::string::npos ? folder : folder.substr(0, at);
            if (!step.empty() && step.back() != ':' && step.back() != '\\' && step.back() != '/') {
                CreateDirectoryA(step.c_str(), nullptr);
            }
            if (at == std::string::npos) break;
        }
        const DWORD attributes = GetFileAttributesA(folder.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return std::string();
        return folder;
    }
};

}  // namespace

template <>
Environment& RealImpl<Environment>() {
    static Win32Environment environment;
    return environment;
}

}  // namespace paneloom::platform
