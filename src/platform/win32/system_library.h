// Loading a library of the system where only the system put it.
#pragma once

#include <windows.h>

namespace paneloom::platform {

// Loads `fileName` (a bare name such as "iphlpapi.dll") from the system
// folder alone, never from the program's folder, the current folder or the
// PATH, where anyone who may write there could have planted a library of
// that name. Null when it cannot be loaded.
HMODULE LoadSystemLibrary(const char* fileName);

// The function `name` of `library` as the function pointer type the caller
// knows it to have; null when the library does not export it.
template <typename Function>
Function LookUpFunction(HMODULE library, const char* name) {
    // GetProcAddress returns a generic function pointer; the name fixes
    // which signature it really has.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

}  // namespace paneloom::platform
