#include "support/picture_maker.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "support/bmp_maker.h"

#ifdef _WIN32
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>
#else
#include <cstdio>
#include <jpeglib.h>
#include <webp/encode.h>
#endif

namespace paneloom::testing {

namespace {

std::uint8_t Red(std::uint32_t c) { return static_cast<std::uint8_t>(c); }
std::uint8_t Green(std::uint32_t c) { return static_cast<std::uint8_t>(c >> 8); }
std::uint8_t Blue(std::uint32_t c) { return static_cast<std::uint8_t>(c >> 16); }
std::uint8_t Alpha(std::uint32_t c) { return static_cast<std::uint8_t>(c >> 24); }

void PutU32BigEndian(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v >> 24);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

std::uint32_t Crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void Chunk(std::string& png, const char* type, const std::string& data) {
    PutU32BigEndian(png, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    PutU32BigEndian(png, Crc32(body));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::string StoredZlib(const std::string& raw) {
    std::string out("\x78\x01", 2);
    std::size_t at = 0;
    do {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        const bool last = at + n == raw.size();
        out += static_cast<char>(last ? 1 : 0);
        out += static_cast<char>(n & 0xFF);
        out += static_cast<char>(n >> 8);
        out += static_cast<char>(~n & 0xFF);
        out += static_cast<char>((~n >> 8) & 0xFF);
        out.append(raw, at, n);
        at += n;
    } while (at < raw.size());
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutU32BigEndian(out, (b << 16) | a);
    return out;
}

std::string Ihdr(std::uint32_t width, std::uint32_t height, int depth, int colourType, bool interlaced) {
    std::string ihdr;
    PutU32BigEndian(ihdr, width);
    PutU32BigEndian(ihdr, height);
    ihdr += static_cast<char>(depth);
    ihdr += static_cast<char>(colourType);
    ihdr += '\0';
    ihdr += '\0';
    ihdr += static_cast<char>(interlaced ? 1 : 0);
    return ihdr;
}

const char kPngSignature[] = "\x89PNG\r\n\x1A\n";

// Packs samples of `depth` bits, most significant first, into bytes.
class BitWriter {
public:
    explicit BitWriter(std::string& out) : out_(out) {}
    void Put(unsigned value, int depth) {
        if (depth == 16) {
            out_ += static_cast<char>(value >> 8);
            out_ += static_cast<char>(value);
            return;
        }
        if (depth == 8) {
            out_ += static_cast<char>(value);
            return;
        }
        byte_ = static_cast<unsigned>((byte_ << depth) | (value & ((1u << depth) - 1)));
        bits_ += depth;
        if (bits_ == 8) Flush();
    }
    void EndRow() {
        if (bits_ == 0) return;
        byte_ <<= 8 - bits_;
        Flush();
    }

private:
    void Flush() {
        out_ += static_cast<char>(byte_);
        byte_ = 0;
        bits_ = 0;
    }
    std::string& out_;
    unsigned byte_ = 0;
    int bits_ = 0;
};

unsigned Sample(std::uint8_t v, int depth) { return depth == 16 ? v * 257u : v >> (8 - depth); }

}  // namespace

ColourGrid PatternGrid(std::int32_t width, std::int32_t height, unsigned seed) {
    ColourGrid grid{width, height, {}};
    grid.colours.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            // Gradients that never wrap round, shifted a little by the seed.
            const unsigned r = (seed * 7) % 40 + static_cast<unsigned>(x * 200 / std::max(1, width - 1));
            const unsigned g = (seed * 13) % 40 + static_cast<unsigned>(y * 200 / std::max(1, height - 1));
            const unsigned b = 60 + (seed * 3) % 40 + static_cast<unsigned>((x + y) * 150 / std::max(1, width + height - 2));
            grid.At(x, y) = 0xFF000000u | (b << 16) | (g << 8) | r;
        }
    }
    return grid;
}

ColourGrid GreyGrid(const ColourGrid& grid) {
    ColourGrid grey = grid;
    for (std::uint32_t& c : grey.colours) {
        const unsigned v = (Red(c) + Green(c) + Blue(c)) / 3;
        c = 0xFF000000u | (v << 16) | (v << 8) | v;
    }
    return grey;
}

ColourGrid FewColourGrid(std::int32_t width, std::int32_t height) {
    static const std::uint32_t kColours[] = {0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF,
                                             0xFF00FF, 0xFFFF00, 0x808080, 0x404080, 0x804040, 0x408040,
                                             0xC0C0C0, 0x102030, 0x302010, 0x203010};
    ColourGrid grid{width, height, {}};
    grid.colours.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) grid.At(x, y) = 0xFF000000u | kColours[(x / 3 + y / 2 * 5) % 16];
    }
    return grid;
}

std::string GridAsBmp(const ColourGrid& grid) {
    BmpParts bmp = BlankBmp(grid.width, grid.height, 24);
    const std::size_t stride = Stride(grid.width, 24);
    bmp.bits.assign(stride * static_cast<std::size_t>(grid.height), '\0');
    for (std::int32_t row = 0; row < grid.height; ++row) {
        const std::int32_t y = grid.height - 1 - row;
        for (std::int32_t x = 0; x < grid.width; ++x) {
            const std::uint32_t c = grid.At(x, y);
            const std::size_t at = stride * static_cast<std::size_t>(row) + 3 * static_cast<std::size_t>(x);
            bmp.bits[at] = static_cast<char>(Blue(c));
            bmp.bits[at + 1] = static_cast<char>(Green(c));
            bmp.bits[at + 2] = static_cast<char>(Red(c));
        }
    }
    return MakeBmp(bmp);
}

std::uint32_t OverBlack(std::uint32_t colour) {
    const unsigned a = Alpha(colour);
    auto weigh = [a](unsigned v) { return (v * a + 127) / 255; };
    return weigh(Red(colour)) | (weigh(Green(colour)) << 8) | (weigh(Blue(colour)) << 16);
}

std::string GridAsPng(const ColourGrid& grid, const PngForm& form) {
    const int type = form.colourType;
    const int depth = form.bitDepth;
    std::vector<std::uint32_t> palette;
    if (type == 3) {
        for (std::uint32_t c : grid.colours) {
            if (std::find(palette.begin(), palette.end(), c) == palette.end()) palette.push_back(c);
        }
        if (palette.size() > (std::size_t{1} << depth)) throw std::invalid_argument("too many colours for the depth");
    }
    auto putPixel = [&](BitWriter& w, std::uint32_t c) {
        switch (type) {
            case 0: w.Put(Sample(Red(c), depth), depth); break;
            case 2:
                w.Put(Sample(Red(c), depth), depth);
                w.Put(Sample(Green(c), depth), depth);
                w.Put(Sample(Blue(c), depth), depth);
                break;
            case 3:
                w.Put(static_cast<unsigned>(std::find(palette.begin(), palette.end(), c) - palette.begin()), depth);
                break;
            case 4:
                w.Put(Sample(Red(c), depth), depth);
                w.Put(Sample(Alpha(c), depth), depth);
                break;
            default:
                w.Put(Sample(Red(c), depth), depth);
                w.Put(Sample(Green(c), depth), depth);
                w.Put(Sample(Blue(c), depth), depth);
                w.Put(Sample(Alpha(c), depth), depth);
                break;
        }
    };
    // Adam7's passes, or the whole picture as one.
    static const int kPasses[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                      {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    static const int kWhole[1][4] = {{0, 0, 1, 1}};
    const int (*passes)[4] = form.interlaced ? kPasses : kWhole;
    const int passCount = form.interlaced ? 7 : 1;
    std::string raw;
    for (int p = 0; p < passCount; ++p) {
        const int x0 = passes[p][0], y0 = passes[p][1], dx = passes[p][2], dy = passes[p][3];
        if (x0 >= grid.width || y0 >= grid.height) continue;
        for (std::int32_t y = y0; y < grid.height; y += dy) {
            raw += '\0';  // filter: none
            BitWriter w(raw);
            for (std::int32_t x = x0; x < grid.width; x += dx) putPixel(w, grid.At(x, y));
            w.EndRow();
        }
    }

    std::string png(kPngSignature, 8);
    Chunk(png, "IHDR", Ihdr(static_cast<std::uint32_t>(grid.width), static_cast<std::uint32_t>(grid.height), depth,
                            type, form.interlaced));
    if (type == 3) {
        std::string plte;
        std::string trns;
        for (std::uint32_t c : palette) {
            plte += static_cast<char>(Red(c));
            plte += static_cast<char>(Green(c));
            plte += static_cast<char>(Blue(c));
            trns += static_cast<char>(Alpha(c));
        }
        Chunk(png, "PLTE", plte);
        if (form.transparency) Chunk(png, "tRNS", trns);
    } else if (form.transparency && (type == 0 || type == 2)) {
        const std::uint32_t c = form.transparentColour;
        std::string trns;
        auto put16 = [&trns](unsigned v) {
            trns += static_cast<char>(v >> 8);
            trns += static_cast<char>(v);
        };
        put16(Sample(Red(c), depth));
        if (type == 2) {
            put16(Sample(Green(c), depth));
            put16(Sample(Blue(c), depth));
        }
        Chunk(png, "tRNS", trns);
    }
    Chunk(png, "IDAT", StoredZlib(raw));
    Chunk(png, "IEND", "");
    return png;
}

std::string WithExifOrientation(const std::string& jpeg, int tag, bool bigEndian) {
    // A TIFF header and one directory of one entry: Orientation, SHORT, 1.
    std::string tiff;
    auto u16 = [&](unsigned v) {
        if (bigEndian) {
            tiff += static_cast<char>(v >> 8);
            tiff += static_cast<char>(v);
        } else {
            tiff += static_cast<char>(v);
            tiff += static_cast<char>(v >> 8);
        }
    };
    auto u32 = [&](std::uint32_t v) {
        if (bigEndian) {
            u16(v >> 16);
            u16(v & 0xFFFF);
        } else {
            u16(v & 0xFFFF);
            u16(v >> 16);
        }
    };
    tiff += bigEndian ? "MM" : "II";
    u16(42);
    u32(8);
    u16(1);
    u16(0x0112);
    u16(3);
    u32(1);
    u16(static_cast<unsigned>(tag));
    u16(0);
    u32(0);  // no next directory
    const std::string payload = std::string("Exif\0\0", 6) + tiff;
    std::string segment("\xFF\xE1", 2);
    const std::size_t length = payload.size() + 2;
    segment += static_cast<char>(length >> 8);
    segment += static_cast<char>(length & 0xFF);
    segment += payload;
    return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

std::string GiantPngHeader(std::uint32_t width, std::uint32_t height) {
    std::string png(kPngSignature, 8);
    Chunk(png, "IHDR", Ihdr(width, height, 8, 2, false));
    Chunk(png, "IDAT", StoredZlib(std::string(4, '\0')));
    Chunk(png, "IEND", "");
    return png;
}

std::string GiantJpegHeader(std::uint16_t width, std::uint16_t height) {
    std::string jpeg = GridAsJpeg(PatternGrid(8, 8));
    // The frame header: marker, length, precision, height, width.
    for (std::size_t at = 2; at + 9 <= jpeg.size();) {
        const auto marker = static_cast<unsigned char>(jpeg[at + 1]);
        const std::size_t length = (static_cast<unsigned char>(jpeg[at + 2]) << 8) | static_cast<unsigned char>(jpeg[at + 3]);
        if (marker >= 0xC0 && marker <= 0xC2) {
            jpeg[at + 5] = static_cast<char>(height >> 8);
            jpeg[at + 6] = static_cast<char>(height & 0xFF);
            jpeg[at + 7] = static_cast<char>(width >> 8);
            jpeg[at + 8] = static_cast<char>(width & 0xFF);
            return jpeg;
        }
        at += 2 + length;
    }
    return std::string();
}

#ifdef _WIN32

namespace {

// The grid encoded by the system's encoder for `container`, from 24-bit
// colour.
std::string EncodeWithWic(const ColourGrid& grid, const GUID& container) {
    std::string out;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IWICImagingFactory* factory = nullptr;
    IStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    IPropertyBag2* options = nullptr;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(grid.width) * 3 * static_cast<std::size_t>(grid.height));
    for (std::int32_t y = 0; y < grid.height; ++y) {
        for (std::int32_t x = 0; x < grid.width; ++x) {
            const std::uint32_t c = grid.At(x, y);
            std::uint8_t* p = rows.data() + (static_cast<std::size_t>(y) * grid.width + x) * 3;
            p[0] = Blue(c);
            p[1] = Green(c);
            p[2] = Red(c);
        }
    }
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    bool made = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
                SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
                SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder)) &&
                SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
                SUCCEEDED(encoder->CreateNewFrame(&frame, &options)) && SUCCEEDED(frame->Initialize(options)) &&
                SUCCEEDED(frame->SetSize(static_cast<UINT>(grid.width), static_cast<UINT>(grid.height))) &&
                SUCCEEDED(frame->SetPixelFormat(&format)) && IsEqualGUID(format, GUID_WICPixelFormat24bppBGR) &&
                SUCCEEDED(frame->WritePixels(static_cast<UINT>(grid.height), static_cast<UINT>(grid.width) * 3,
                                             static_cast<UINT>(rows.size()), rows.data())) &&
                SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    if (made) {
        HGLOBAL memory = nullptr;
        STATSTG stat{};
        if (SUCCEEDED(GetHGlobalFromStream(stream, &memory)) && SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
            const auto* bytes = static_cast<const char*>(GlobalLock(memory));
            out.assign(bytes, static_cast<std::size_t>(stat.cbSize.QuadPart));
            GlobalUnlock(memory);
        }
    }
    if (options != nullptr) options->Release();
    if (frame != nullptr) frame->Release();
    if (encoder != nullptr) encoder->Release();
    if (stream != nullptr) stream->Release();
    if (factory != nullptr) factory->Release();
    CoUninitialize();
    return out;
}

}  // namespace

std::string GridAsJpeg(const ColourGrid& grid, const JpegForm& form) {
    if (form.progressive || form.grey || form.cmyk) return std::string();
    return EncodeWithWic(grid, GUID_ContainerFormatJpeg);
}

std::string GridAsTiff(const ColourGrid& grid) { return EncodeWithWic(grid, GUID_ContainerFormatTiff); }

std::string GridAsWebp(const ColourGrid&, bool) { return std::string(); }

#else

std::string GridAsJpeg(const ColourGrid& grid, const JpegForm& form) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(grid.width);
    cinfo.image_height = static_cast<JDIMENSION>(grid.height);
    cinfo.input_components = form.grey ? 1 : form.cmyk ? 4 : 3;
    cinfo.in_color_space = form.grey ? JCS_GRAYSCALE : form.cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    if (form.cmyk) jpeg_set_colorspace(&cinfo, JCS_YCCK);
    jpeg_set_quality(&cinfo, form.quality, TRUE);
    if (form.cmyk) cinfo.write_Adobe_marker = TRUE;
    if (form.progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(grid.width) * 4);
    while (cinfo.next_scanline < cinfo.image_height) {
        const auto y = static_cast<std::int32_t>(cinfo.next_scanline);
        for (std::int32_t x = 0; x < grid.width; ++x) {
            const std::uint32_t c = grid.At(x, y);
            const auto px = static_cast<std::size_t>(x);
            if (form.grey) {
                row[px] = Red(c);
            } else if (form.cmyk) {
                // Adobe's inverted CMYK of the colour, with no black.
                row[4 * px] = Red(c);
                row[4 * px + 1] = Green(c);
                row[4 * px + 2] = Blue(c);
                row[4 * px + 3] = 255;
            } else {
                row[3 * px] = Red(c);
                row[3 * px + 1] = Green(c);
                row[3 * px + 2] = Blue(c);
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return out;
}

std::string GridAsTiff(const ColourGrid&) { return std::string(); }

std::string GridAsWebp(const ColourGrid& grid, bool alpha) {
    std::vector<std::uint8_t> pixels;
    for (std::uint32_t c : grid.colours) {
        pixels.push_back(Red(c));
        pixels.push_back(Green(c));
        pixels.push_back(Blue(c));
        if (alpha) pixels.push_back(Alpha(c));
    }
    std::uint8_t* output = nullptr;
    const std::size_t size =
        alpha ? WebPEncodeLosslessRGBA(pixels.data(), grid.width, grid.height, grid.width * 4, &output)
              : WebPEncodeLosslessRGB(pixels.data(), grid.width, grid.height, grid.width * 3, &output);
    std::string out(reinterpret_cast<const char*>(output), size);
    WebPFree(output);
    return out;
}

#endif

}  // namespace paneloom::testing
