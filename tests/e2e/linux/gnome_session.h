// A GNOME desktop for the end-to-end tests, kept in a scratch directory.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "platform/linux/desktop/desktop.h"

namespace paneloom::testing {

// A GNOME session whose settings live in a keyfile under the scratch
// directory, for the tests' own process and every program it starts.
class GnomeKeyfileSession {
public:
    explicit GnomeKeyfileSession(const std::filesystem::path& configHome) {
        Set("XDG_CURRENT_DESKTOP", "GNOME");
        Set("GSETTINGS_BACKEND", "keyfile");
        Set("XDG_CONFIG_HOME", configHome.string());
    }
    ~GnomeKeyfileSession() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }
    GnomeKeyfileSession(const GnomeKeyfileSession&) = delete;
    GnomeKeyfileSession& operator=(const GnomeKeyfileSession&) = delete;

    // What `gsettings get` says of a background key.
    static std::string Get(const std::string& key) {
        std::string output;
        platform::lnx::SystemToolRunner().Run({"gsettings", "get", "org.gnome.desktop.background", key}, &output);
        return output;
    }

private:
    void Set(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }

    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace paneloom::testing
