// The Linux build's PNG decoder wrapper over arbitrary bytes: it must refuse
// or decode, never crash, leak or let the library end the process.
#include <cstddef>
#include <cstdint>

#include "platform/linux/drawing/picture_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    paneloom::platform::lnx::Dib dib;
    if (paneloom::platform::lnx::DecodePng(data, size, dib)) {
        // Touch the corners through the accessors, as drawing would.
        dib.GetPixel(0, 0);
        dib.GetPixel(dib.width - 1, dib.height - 1);
    }
    return 0;
}
