#include "platform/linux/text/shaping_library.h"

#include <dlfcn.h>

#include "platform/linux/process/shared_library.h"

namespace paneloom::platform::lnx {

namespace {

// The sonames of the ABI the headers describe.
constexpr char kHarfBuzz[] = "libharfbuzz.so.0";
constexpr char kFriBidi[] = "libfribidi.so.0";

}  // namespace

std::unique_ptr<const ShapingLibrary> OpenShapingLibrary(const char* harfbuzz, const char* fribidi) {
    void* hb = OpenSharedLibrary(harfbuzz);
    if (hb == nullptr) return nullptr;
    void* bidi = OpenSharedLibrary(fribidi);
    if (bidi == nullptr) {
        dlclose(hb);
        return nullptr;
    }
    auto library = std::make_unique<ShapingLibrary>();
    bool found = true;
#define PANELOOM_FIND_HARFBUZZ(name) found = found && FindFunction(hb, #name, library->name);
#define PANELOOM_FIND_FRIBIDI(name) found = found && FindFunction(bidi, #name, library->name);
    PANELOOM_HARFBUZZ_FUNCTIONS(PANELOOM_FIND_HARFBUZZ)
    PANELOOM_FRIBIDI_FUNCTIONS(PANELOOM_FIND_FRIBIDI)
#undef PANELOOM_FIND_HARFBUZZ
#undef PANELOOM_FIND_FRIBIDI
    if (!found) {
        dlclose(bidi);
        dlclose(hb);
        return nullptr;
    }
    return library;
}

const ShapingLibrary* SystemShaping() {
    // Never destroyed: objects the engine made with it are destroyed at
    // exit, in an order that may come after any static of this file.
    static const ShapingLibrary* const library = OpenShapingLibrary(kHarfBuzz, kFriBidi).release();
    return library;
}

}  // namespace paneloom::platform::lnx
