// The IP helper library: loaded by name when the first network query runs,
// its functions looked up by their exported names, so that the program starts
// and runs where the library or one of its functions is missing.
#pragma once

#include "platform/seam.h"

namespace paneloom::platform {

// An opaque handle of a loaded library.
struct IpHelperModule;
using IpHelperHandle = IpHelperModule*;

// Any function, as a lookup returns it; the caller casts it to the signature
// that belongs to the name it asked for.
using AnyFunction = void (*)();

class IpHelperLibrary {
public:
    virtual ~IpHelperLibrary() = default;

    // Loads the library; null when it cannot be loaded. The library stays
    // loaded until the process ends.
    virtual IpHelperHandle Load() = 0;

    // The function the library exports under `name` ("GetAdaptersInfo",
    // "GetIfTable", "GetNetworkParams" or "GetPerAdapterInfo"); null when it
    // does not export it.
    virtual AnyFunction Lookup(IpHelperHandle library, const char* name) = 0;
};

template <>
IpHelperLibrary& RealImpl<IpHelperLibrary>();

}  // namespace paneloom::platform
