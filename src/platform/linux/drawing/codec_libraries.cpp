#include "platform/linux/drawing/codec_libraries.h"

#include <dlfcn.h>

#include "platform/linux/process/shared_library.h"

namespace paneloom::platform::lnx {

namespace {

constexpr char kJpeg[] = "libjpeg.so.62";
constexpr char kWebp[] = "libwebp.so.7";

template <typename Library>
std::unique_ptr<const Library> Open(const char* soname, bool (*findAll)(void*, Library&)) {
    void* handle = OpenSharedLibrary(soname);
    if (handle == nullptr) return nullptr;
    auto library = std::make_unique<Library>();
    if (!findAll(handle, *library)) {
        dlclose(handle);
        return nullptr;
    }
    return library;
}

#define PANELOOM_FIND(name) found = found && FindFunction(handle, #name, library.name);
bool FindJpeg(void* handle, JpegLibrary& library) {
    bool found = true;
    PANELOOM_JPEG_FUNCTIONS(PANELOOM_FIND)
    return found;
}

bool FindWebp(void* handle, WebpLibrary& library) {
    bool found = true;
    PANELOOM_WEBP_FUNCTIONS(PANELOOM_FIND)
    return found;
}
#undef PANELOOM_FIND

}  // namespace

std::unique_ptr<const JpegLibrary> OpenJpegLibrary(const char* soname) { return Open(soname, FindJpeg); }

std::unique_ptr<const WebpLibrary> OpenWebpLibrary(const char* soname) { return Open(soname, FindWebp); }

// Never destroyed, as the libraries are never closed: a decoder may run in
// another static's destructor.
const JpegLibrary* SystemJpeg() {
    static const JpegLibrary* const library = OpenJpegLibrary(kJpeg).release();
    return library;
}

const WebpLibrary* SystemWebp() {
    static const WebpLibrary* const library = OpenWebpLibrary(kWebp).release();
    return library;
}

}  // namespace paneloom::platform::lnx
