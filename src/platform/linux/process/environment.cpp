#include "platform/environment.h"

#include <sys/stat.h>

#include <cstdlib>

namespace paneloom::platform {

namespace {

class LinuxEnvironment final : public Environment {
public:
    std::optional<std::string> Variable(const std::string& name) override {
        // getenv would match "A=B" against the variable A holding "B...".
        if (name.find('=') != std::string::npos) return std::nullopt;
        const char* value = std::getenv(name.c_str());
        if (value == nullptr) return std::nullopt;
        return std::string(value);
    }

    std::string MakeFolderOf(const std::string& filePath) override {
        const std::string::size_type last = filePath.rfind('/');
        if (last == std::string::npos) return std::string();
        const std::string folder = last == 0 ? std::string("/") : filePath.substr(0, last);
        // The picture and the log in it are the user's report: a folder made
        // for them is the user's alone. Those that exist refuse.
        for (std::string::size_type at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
            const std::string step = at == std::string::npos ? folder : folder.substr(0, at);
            if (!step.empty() && step.back() != '/') ::mkdir(step.c_str(), 0700);
            if (at == std::string::npos) break;
        }
        struct stat status {};
        if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return std::string();
        return folder;
    }
};

}  // namespace

template <>
Environment& RealImpl<Environment>() {
    static LinuxEnvironment environment;
    return environment;
}

}  // namespace paneloom::platform
