// Uniscribe, the script processor GDI itself uses for complex scripts. The
// program does not import usp10.dll, which is not one of the libraries
// Windows always takes from the system folder: it is loaded from there at
// its first use, as VERSION.dll and the IP helper are.
#pragma once

#include <windows.h>
#include <usp10.h>

namespace paneloom::platform {

struct Uniscribe {
    decltype(&::ScriptItemize) itemize = nullptr;
    decltype(&::ScriptShape) shape = nullptr;
    decltype(&::ScriptPlace) place = nullptr;
    decltype(&::ScriptTextOut) textOut = nullptr;
    decltype(&::ScriptLayout) layout = nullptr;
    decltype(&::ScriptFreeCache) freeCache = nullptr;
    decltype(&::ScriptGetProperties) properties = nullptr;
};

// The functions, or null where the library cannot be loaded (the text is
// then drawn as GDI draws it alone). A failed load is not tried again.
const Uniscribe* LoadUniscribe();

}  // namespace paneloom::platform
