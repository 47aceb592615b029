// The content of an output element as anyone may write it, laid out and
// drawn for real: line conversion, item collection, attribute reading and
// the text output of this build on a small 32-bit bitmap (the text engine
// on Linux), with any sizes, weights, spacings and positions.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/run_settings.h"
#include "platform/gdi.h"
#include "platform/linux/gdi_objects.h"
#include "render/output.h"
#include "render/text_items.h"

// Fontconfig keeps a few allocations from parsing its configuration for the
// life of the process; they are its own, made once.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace paneloom;
    std::string content(reinterpret_cast<const char*>(data), size);
    const std::size_t zero = content.find('\0');
    if (zero != std::string::npos) content.resize(zero);

    static platform::Graphics& graphics = platform::Get<platform::Graphics>();
    static platform::BitmapObject* bitmap = [] {
        auto* b = new platform::BitmapObject;
        b->dib.Allocate(96, 48, 32);
        return b;
    }();
    platform::DcHandle dc = graphics.CreateScreenCompatibleDC();
    platform::BitmapHandle previous = graphics.SelectBitmap(dc, bitmap);

    ResetSettingsForTest();
    Settings().textStartY = 4;
    std::string lines;
    std::string placed;
    ConvertTextLines(content, lines);
    CollectTextAt(content, placed);
    DrawTextItems(dc, lines + placed);

    graphics.SelectBitmap(dc, previous);
    graphics.DeleteDC(dc);
    return 0;
}
