// A scratch directory for one test: created empty under the system's
// temporary directory, made the current directory while the object lives,
// and removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace paneloom::testing {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

    void Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;
    bool Exists(const std::string& name) const;
    // The names in the scratch directory, or in a folder of it, sorted.
    std::vector<std::string> Names(const std::string& folder = std::string()) const;

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

}  // namespace paneloom::testing
