// Libraries the program opens at their first use instead of linking them,
// so that a run which needs none of them maps and binds none. A library
// opened stays loaded for the rest of the process.
#pragma once

#include <dlfcn.h>

namespace paneloom::platform::lnx {

// The library by its soname, kept to itself (RTLD_LOCAL) and bound lazily:
// the program calls a few of its functions. Null when it cannot be opened.
inline void* OpenSharedLibrary(const char* soname) { return dlopen(soname, RTLD_LAZY | RTLD_LOCAL); }

// Sets `function` to the library's function `name`; false when it has none.
template <typename Function>
bool FindFunction(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

}  // namespace paneloom::platform::lnx
