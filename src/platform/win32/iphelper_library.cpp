#include "platform/iphelper_library.h"

#include <windows.h>

namespace paneloom::platform {

namespace {

// The program is not linked against iphlpapi: it is loaded here, on first
// use, so that a system without it (or without one of its functions) only
// loses the network variables.
class Win32IpHelperLibrary final : public IpHelperLibrary {
public:
    IpHelperHandle Load() override { return reinterpret_cast<IpHelperHandle>(LoadLibraryA("iphlpapi.dll")); }

    AnyFunction Lookup(IpHelperHandle library, const char* name) override {
        if (library == nullptr) return nullptr;
        // void (*)() stands for any function type, so this cast is exact.
        return reinterpret_cast<AnyFunction>(GetProcAddress(reinterpret_cast<HMODULE>(library), name));
    }
};

}  // namespace

template <>
IpHelperLibrary& RealImpl<IpHelperLibrary>() {
    static Win32IpHelperLibrary library;
    return library;
}

}  // namespace paneloom::platform
