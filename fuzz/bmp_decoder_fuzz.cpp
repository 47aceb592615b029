// The Linux platform loader over arbitrary .bmp files.
#include <cstddef>
#include <cstdint>

#include "platform/linux/drawing/bmp_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    paneloom::platform::lnx::Dib dib;
    if (paneloom::platform::lnx::DecodeBmp(data, size, dib)) {
        // Touch the corners through the accessors, as drawing would.
        dib.GetPixel(0, 0);
        dib.GetPixel(dib.width - 1, dib.height - 1);
    }
    return 0;
}
