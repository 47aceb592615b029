#include "platform/win32/system_library.h"

#include <string>

namespace paneloom::platform {

HMODULE LoadSystemLibrary(const char* fileName) {
    // The search flags of LoadLibraryExA exist where kernel32 exports
    // AddDllDirectory (Windows 8 on, and Vista and 7 with their update for
    // it); older systems reject them, and there the full path does it.
    static const bool searchFlags =
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "AddDllDirectory") != nullptr;
    if (searchFlags) return LoadLibraryExA(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);

    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) return nullptr;
    std::string path(folder, length);
    path += '\\';
    path += fileName;
    // With a full path, the libraries it needs in turn are looked for in its
    // own folder first, which is the system folder too.
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace paneloom::platform
