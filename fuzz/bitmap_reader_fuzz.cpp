// LoadBMPImage and WriteBMPImage over arbitrary input files, through the
// real Linux drawing layer: the file comes from memory, the output goes
// nowhere.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "platform/files.h"
#include "platform/graphics.h"
#include "render/bitmap_file.h"

namespace {

using paneloom::platform::FileFiller;
using paneloom::platform::FileSink;
using paneloom::platform::ReadableFile;
using paneloom::platform::ReplaceResult;

class MemoryFile : public ReadableFile {
public:
    explicit MemoryFile(const std::string& bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    std::size_t Read(void* buffer, std::size_t size) override {
        const std::size_t count = std::min(size, bytes_.size() - offset_);
        // An empty read may come with no buffer at all (a core header's
        // colour table is empty for 24 bits), as read(2) allows.
        if (count == 0) return 0;
        std::memcpy(buffer, bytes_.data() + offset_, count);
        offset_ += count;
        return count;
    }

private:
    const std::string& bytes_;
    std::size_t offset_ = 0;
};

// Touches both ends of every write, as the system would read them.
class NowhereSink : public FileSink {
public:
    void Write(const void* data, std::size_t size) override {
        if (size == 0) return;
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        sum = static_cast<std::uint8_t>(sum + bytes[0] + bytes[size - 1]);
    }
    volatile std::uint8_t sum = 0;
};

class MemoryFiles : public paneloom::platform::Files {
public:
    std::string input;

    bool ReadWholeExclusive(const std::string&, std::string& bytes) override {
        bytes = input;
        return true;
    }
    bool AppendExclusive(const char*, paneloom::platform::ByteSpan) override { return true; }
    bool NamesIgnoreCase() override { return true; }
    bool Facts(const std::string&, paneloom::platform::FileFacts&) override { return false; }
    std::unique_ptr<ReadableFile> OpenForReading(const std::string&) override {
        return std::make_unique<MemoryFile>(input);
    }
    ReplaceResult ReplaceWhole(const std::string&, const FileFiller& fill) override {
        NowhereSink sink;
        return fill(sink) ? ReplaceResult::Replaced : ReplaceResult::GivenUp;
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
