// LoadBMPImage and WriteBMPImage over arbitrary input files, through the
// real Linux drawing layer: the file comes from memory, the output goes
// nowhere.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/files.h"
#include "platform/graphics.h"
#include "render/bitmap_file.h"

namespace {

class MemoryFiles : public paneloom::platform::Files {
public:
    std::string input;

    bool ReadWholeExclusive(const std::string&, std::string& bytes) override {
        bytes = input;
        return true;
    }
    bool AppendExclusive(const char*, paneloom::platform::ByteSpan) override { return true; }
    bool NamesIgnoreCase() override { return true; }
    bool ReplaceAtomically(const std::string&, const std::vector<paneloom::platform::ByteSpan>& pieces) override {
        // Touch both ends of every piece, as a write would read them.
        volatile std::uint8_t sum = 0;
        for (const auto& piece : pieces) {
            const auto* bytes = static_cast<const std::uint8_t*>(piece.data);
            if (piece.size == 0) continue;
            sum = static_cast<std::uint8_t>(sum + bytes[0] + bytes[piece.size - 1]);
        }
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace paneloom;
    MemoryFiles files;
    files.input.assign(reinterpret_cast<const char*>(data), size);
    platform::ScopedFake<platform::Files> fake(files);
    platform::BitmapHandle bitmap = nullptr;
    platform::PaletteHandle palette = nullptr;
    if (LoadBMPImage("in.bmp", bitmap, palette)) {
        platform::Graphics& graphics = platform::Get<platform::Graphics>();
        // A tiny RLE file can describe a bitmap of a gigabyte; converting
        // that again proves nothing more and only slows the search.
        platform::BitmapRecord record;
        if (graphics.GetBitmapRecord(bitmap, record) &&
            static_cast<std::uint64_t>(record.width) * static_cast<std::uint64_t>(record.height) <= (1u << 22)) {
            WriteBMPImage("out.bmp", bitmap, palette);
        }
        graphics.DeleteBitmap(bitmap);
        graphics.DeletePalette(palette);
    }
    return 0;
}
