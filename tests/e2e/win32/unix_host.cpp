#include "e2e/win32/unix_host.h"

#include <windows.h>

#include <vector>

namespace paneloom::testing {

namespace {

// Wine's own exports for this: ntdll's spawner of host programs (it returns
// the exit status of a program that was waited for) and kernel32's path
// translation (its result is freed from the process heap).
using SpawnFn = LONG(CDECL*)(char* const argv[], int wait);
using UnixFileNameFn = char*(CDECL*)(const WCHAR* dosPath);

SpawnFn Spawner() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr ? reinterpret_cast<SpawnFn>(
                                  reinterpret_cast<void*>(GetProcAddress(ntdll, "__wine_unix_spawnvp")))
                            : nullptr;
}

UnixFileNameFn PathTranslator() {
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    return kernel32 != nullptr ? reinterpret_cast<UnixFileNameFn>(
                                     reinterpret_cast<void*>(GetProcAddress(kernel32, "wine_get_unix_file_name")))
                               : nullptr;
}

}  // namespace

bool HasUnixHost() { return Spawner() != nullptr && PathTranslator() != nullptr; }

int RunOnHost(const std::string& script) {
    const SpawnFn spawn = Spawner();
    if (spawn == nullptr) return -1;
    std::string shell = "/bin/sh";
    std::string option = "-c";
    std::string text = script;
    char* const argv[] = {&shell[0], &option[0], &text[0], nullptr};
    return static_cast<int>(spawn(argv, 1));
}

std::string HostPath(const std::string& windowsPath) {
    const UnixFileNameFn translate = PathTranslator();
    if (translate == nullptr) return std::string();
    const int length = MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, nullptr, 0);
    if (length <= 0) return std::string();
    std::vector<WCHAR> wide(static_cast<std::size_t>(length));
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(), length);
    char* unixPath = translate(wide.data());
    if (unixPath == nullptr) return std::string();
    std::string result = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

}  // namespace paneloom::testing
