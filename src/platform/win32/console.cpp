#include "platform/console.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace paneloom::platform {

namespace {

// The program's text is in the ANSI code page. A console shows every
// character only when it is handed UTF-16 (its own code page is usually the
// OEM one, which lacks many); a file or a pipe gets UTF-8, which every
// script can hold and every reader of a log understands.
std::wstring Wide(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int size = static_cast<int>(text.size());
    const int count = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (count <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, &wide[0], count);
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int size = static_cast<int>(wide.size());
    const int count = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (count <= 0) return std::string();
    std::string bytes(static_cast<std::size_t>(count), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, &bytes[0], count, nullptr, nullptr);
    return bytes;
}

class Win32Console final : public Console {
public:
    bool Write(ConsoleStream stream, const std::string& text) override {
        const HANDLE handle = GetStdHandle(stream == ConsoleStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
        const std::wstring wide = Wide(text);
        if (wide.empty() != text.empty()) return false;
        DWORD mode = 0;
        if (GetConsoleMode(handle, &mode)) {
            // WriteConsoleW may take a long text in parts.
            std::size_t done = 0;
            while (done < wide.size()) {
                const DWORD part = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 16384));
                DWORD written = 0;
                if (!WriteConsoleW(handle, wide.data() + done, part, &written, nullptr) || written == 0) return false;
                done += written;
            }
            return true;
        }
        const std::string bytes = Utf8(wide);
        std::size_t done = 0;
        while (done < bytes.size()) {
            DWORD written = 0;
            const DWORD part = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
            if (!WriteFile(handle, bytes.data() + done, part, &written, nullptr) || written == 0) return false;
            done += written;
        }
        return true;
    }
};

}  // namespace

template <>
Console& RealImpl<Console>() {
    static Win32Console console;
    return console;
}

}  // namespace paneloom::platform
