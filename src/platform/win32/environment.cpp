#include "platform/environment.h"

#include <windows.h>

#include "platform/win32/run_text.h"

#include <vector>

namespace paneloom::platform {

namespace {

class Win32Environment final : public Environment {
public:
    // Asked and answered in the run's code page: a profile folder named in
    // another script still names the right folder in a UTF-8 run.
    std::optional<std::string> Variable(const std::string& name) override {
        const std::wstring wideName = WideFromRun(name);
        SetLastError(ERROR_SUCCESS);
        const DWORD needed = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
        if (needed == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::string();
        }
        std::vector<wchar_t> buffer(needed);
        const DWORD length = GetEnvironmentVariableW(wideName.c_str(), buffer.data(), needed);
        if (length >= needed) return std::nullopt;  // changed in between: not ours to chase
        return RunFromWide(std::wstring_view(buffer.data(), length));
    }

    std::string MakeFolderOf(const std::string& filePath) override {
        const std::vector<std::size_t> separators = Separators(filePath);
        if (separators.empty() || separators.back() == 0) return std::string();
        const std::string folder = filePath.substr(0, separators.back());
        if (folder.back() == ':') return std::string();  // the drive's root or its current folder
        // Each folder on the way down, from the first below the root; the
        // ones that exist (and a UNC path's server and share, which cannot be
        // made) refuse, which is what is wanted.
        for (std::size_t at : separators) {
            if (at == 0 || at >= folder.size()) continue;
            const std::string step = folder.substr(0, at);
            if (step.back() != ':' && step.back() != '\\' && step.back() != '/') CreateDirectoryW(WideFromRun(step).c_str(), nullptr);
        }
        const std::wstring wideFolder = WideFromRun(folder);
        CreateDirectoryW(wideFolder.c_str(), nullptr);
        const DWORD attributes = GetFileAttributesW(wideFolder.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return std::string();
        return folder;
    }

private:
    // Where `path` holds a separator, at character boundaries only: under a
    // double-byte code page a backslash byte may end a two-byte character
    // (never in UTF-8, whose multi-byte characters have no ASCII bytes).
    static std::vector<std::size_t> Separators(const std::string& path) {
        const bool utf8 = RunInUtf8();
        std::vector<std::size_t> at;
        for (std::size_t i = 0; i < path.size(); ++i) {
            if (!utf8 && IsDBCSLeadByte(static_cast<BYTE>(path[i]))) {
                ++i;
            } else if (path[i] == '\\' || path[i] == '/') {
                at.push_back(i);
            }
        }
        return at;
    }
};

}  // namespace

template <>
Environment& RealImpl<Environment>() {
    static Win32Environment environment;
    return environment;
}

}  // namespace paneloom::platform
