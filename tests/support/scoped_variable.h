// Sets one environment variable of this process (or removes it) for one
// scope and puts the old state back afterwards. Programs started meanwhile
// inherit it.
#pragma once

#include <optional>
#include <string>

namespace paneloom::testing {

class ScopedVariable {
public:
    // No `value`: the variable is removed for the scope.
    ScopedVariable(std::string name, const std::optional<std::string>& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

}  // namespace paneloom::testing
