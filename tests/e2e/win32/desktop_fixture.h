// The user's desktop settings in the build's own Wine prefix, for the tests
// that run the real program.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "support/bmp_maker.h"

namespace paneloom::testing {

// The user's desktop settings in the build's own Wine prefix. Each test
// starts from known values and puts the old ones back afterwards.
class WindowsProgramDesktop : public ::testing::Test {
protected:
    static constexpr const char* kNames[] = {"WallPaperStyle", "TileWallPaper", "Wallpaper"};

    void SetUp() override {
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key_, nullptr));
        for (const char* name : kNames) {
            saved_[name] = Value(name);
            Set(name, "untouched");
        }
    }

    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) {
                Set(name.c_str(), *value);
            } else {
                RegDeleteValueA(key_, name.c_str());
            }
        }
        RegCloseKey(key_);
    }

    std::optional<std::string> Value(const char* name) {
        char data[1024] = {};
        DWORD size = sizeof data - 1;
        DWORD type = 0;
        if (RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        return std::string(data);
    }

    void Set(const char* name, const std::string& text) {
        RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    }

    static std::string Picture() { return PatternBmpAsWritten(6, 4, 24); }

    HKEY key_ = nullptr;
    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace paneloom::testing
