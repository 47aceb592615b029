#include "support/scoped_variable.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>

#include <vector>
#else
#include <cstdlib>
#endif

namespace paneloom::testing {

namespace {

#ifdef _WIN32
// The system's own environment block, which GetEnvironmentVariableA reads
// and CreateProcessA hands on.
std::optional<std::string> Get(const std::string& name) {
    SetLastError(ERROR_SUCCESS);
    const DWORD needed = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (needed == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        return std::string();
    }
    std::vector<char> buffer(needed);
    const DWORD length = GetEnvironmentVariableA(name.c_str(), buffer.data(), needed);
    return std::string(buffer.data(), length < needed ? length : 0);
}

void Set(const std::string& name, const std::optional<std::string>& value) {
    SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
}
#else
std::optional<std::string> Get(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

void Set(const std::string& name, const std::optional<std::string>& value) {
    if (value) ::setenv(name.c_str(), value->c_str(), 1);
    else ::unsetenv(name.c_str());
}
#endif

}  // namespace

ScopedVariable::ScopedVariable(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)), old_(Get(name_)) {
    Set(name_, value);
}

ScopedVariable::~ScopedVariable() { Set(name_, old_); }

}  // namespace paneloom::testing
