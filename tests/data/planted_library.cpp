// A library that leaves a mark when it is loaded: a file named after its own
// file name with ".loaded" added, in the current directory. The end-to-end
// tests plant it beside a copy of the program under the names of libraries
// the program uses.
#include <windows.h>

#include <cstring>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(instance, path, sizeof path);
    if (length == 0 || length >= sizeof path) return TRUE;
    const char* name = std::strrchr(path, '\\');
    name = name != nullptr ? name + 1 : path;
    char mark[MAX_PATH + 8] = {};
    std::strcpy(mark, name);
    std::strcat(mark, ".loaded");
    const HANDLE file = CreateFileA(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return TRUE;
}
