#include "platform/linux/drawing/picture_decoders.h"

#include <fcntl.h>
#include <unistd.h>

// libjpeg's header needs size_t and FILE declared first.
#include <algorithm>
#include <cstdio>
#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>
#include <png.h>
#include <webp/decode.h>

#include "formats/dib.h"
#include "formats/orientation.h"
#include "formats/picture.h"
#include "platform/linux/drawing/codec_libraries.h"
#include "platform/linux/drawing/bmp_decoder.h"
#include "platform/linux/files/file_reader.h"

namespace paneloom::platform::lnx {

namespace {

constexpr std::uint16_t kDepth = 24;

// Where decoded rows go: straight into the bitmap's rows when the picture
// is upright, otherwise through one row of scratch from which each pixel is
// placed where the orientation puts it. Trivially destructible, so that it
// may live across a libjpeg or libpng error jump.
struct RowTarget {
    Dib* dib = nullptr;
    formats::Orientation orientation{1, 0, 0};
    std::uint8_t* scratch = nullptr;  // one stored row of BGR when not upright

    // Where stored row `y` (counted from the top) is to be written as BGR.
    std::uint8_t* RowFor(std::int32_t y) const { return orientation.Upright() ? dib->Row(y) : scratch; }

    // Places stored row `y`, just written where RowFor said.
    void Done(std::int32_t y, std::int32_t width) const {
        if (orientation.Upright()) return;
        for (std::int32_t x = 0; x < width; ++x) {
            std::int32_t ux = 0;
            std::int32_t uy = 0;
            orientation.Place(x, y, ux, uy);
            std::memcpy(dib->Row(uy) + 3 * static_cast<std::size_t>(ux), scratch + 3 * static_cast<std::size_t>(x), 3);
        }
    }
};

// The bitmap of an upright picture, with its scratch row; false when the
// picture is above the limit. Throws std::bad_alloc.
bool Prepare(std::uint32_t width, std::uint32_t height, int tag, Dib& dib, std::vector<std::uint8_t>& scratch,
             RowTarget& target, std::uint16_t depth = kDepth) {
    if (!formats::PictureFitsLimit(width, height)) return false;
    const formats::Orientation orientation(tag, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    if (!dib.Allocate(orientation.UprightWidth(), orientation.UprightHeight(), depth)) return false;
    if (!orientation.Upright()) scratch.assign(3 * std::size_t{width}, 0);
    target.dib = &dib;
    target.orientation = orientation;
    target.scratch = scratch.data();
    return true;
}

// Colour over black: each channel weighed by its opacity.
inline std::uint8_t OverBlack(unsigned channel, unsigned alpha) {
    return static_cast<std::uint8_t>((channel * alpha + 127) / 255);
}

// ---- JPEG ----

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void JpegFail(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1); }

// Warnings are ignored as image viewers ignore them, except the one for a
// file that ends before its picture does: libjpeg would fill the rest grey.
void JpegMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) JpegFail(cinfo);
}

void JpegSilent(j_common_ptr) {}

// Adobe's CMYK is stored inverted, which libjpeg passes on as it is.
void CmykToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, std::int32_t width, bool inverted) {
    for (std::int32_t x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        bgr[0] = static_cast<std::uint8_t>((y * k + 127) / 255);
        bgr[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
        bgr[2] = static_cast<std::uint8_t>((c * k + 127) / 255);
    }
}

struct JpegSession {
    const JpegLibrary* jpeg = nullptr;
    jpeg_decompress_struct cinfo;
    JpegErrors errors;
    RowTarget target;
    std::uint8_t* cmykRow = nullptr;
    unsigned scaleEighths = 8;  // the scale decoded at, in eighths
    JDIMENSION width = 0;       // the rows the bitmap has room for
    JDIMENSION height = 0;
    // Rows of four bytes a pixel (blue, green, red, unused): a picture
    // decoded for the screen is scaled from its rows as they are.
    bool padded = false;
};

// The fewest eighths of the picture's size (upright: turned by its EXIF
// orientation) that still give what `need` asks for.
unsigned EighthsFor(std::uint32_t width, std::uint32_t height, int tag, const PictureNeed& need) {
    if (need.width < 1 || need.height < 1 || width == 0 || height == 0) return 8;
    if (tag >= 5 && tag <= 8) std::swap(width, height);
    const double across = static_cast<double>(need.width) / width;
    const double down = static_cast<double>(need.height) / height;
    const double factor = need.cover ? std::max(across, down) : std::min(across, down);
    for (unsigned eighths = 1; eighths < 8; ++eighths) {
        // libjpeg rounds the scaled size up, so eighths * size / 8 is the
        // least it gives.
        if (eighths >= factor * 8.0) return eighths;
    }
    return 8;
}

void JpegScale(JpegSession& s) {
    s.cinfo.scale_num = s.scaleEighths;
    s.cinfo.scale_denom = 8;
    s.jpeg->jpeg_calc_output_dimensions(&s.cinfo);
}

// libjpeg's calls, each run where an error jumps back to it.
void JpegReadHeader(JpegSession& s) {
    s.jpeg->jpeg_read_header(&s.cinfo, TRUE);
    const J_COLOR_SPACE in = s.cinfo.jpeg_color_space;
    s.cinfo.out_color_space = in == JCS_CMYK || in == JCS_YCCK ? JCS_CMYK : JCS_EXT_BGR;
}

void JpegReadRows(JpegSession& s) {
    if (s.padded) s.cinfo.out_color_space = JCS_EXT_BGRX;
    s.jpeg->jpeg_start_decompress(&s.cinfo);
    const auto width = static_cast<std::int32_t>(s.cinfo.output_width);
    const bool cmyk = s.cinfo.out_color_space == JCS_CMYK;
    // Every row is written into room for exactly this many samples.
    if (s.cinfo.output_width != s.width || s.cinfo.output_height != s.height ||
        s.cinfo.output_components != (cmyk || s.padded ? 4 : 3)) {
        JpegFail(reinterpret_cast<j_common_ptr>(&s.cinfo));
    }
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
        const auto y = static_cast<std::int32_t>(s.cinfo.output_scanline);
        std::uint8_t* row = s.target.RowFor(y);
        JSAMPROW rows[1] = {cmyk ? s.cmykRow : row};
        if (s.jpeg->jpeg_read_scanlines(&s.cinfo, rows, 1) != 1) JpegFail(reinterpret_cast<j_common_ptr>(&s.cinfo));
        if (cmyk) CmykToBgr(s.cmykRow, row, width, s.cinfo.saw_Adobe_marker);
        s.target.Done(y, width);
    }
    s.jpeg->jpeg_finish_decompress(&s.cinfo);
}

bool JpegGuarded(JpegSession& s, void (*step)(JpegSession&)) {
    if (setjmp(s.errors.jump) != 0) return false;
    step(s);
    return true;
}

// ---- PNG ----

struct PngSource {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at;
};

void PngRead(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->size - source->at) png_error(png, "truncated");
    std::memcpy(out, source->data + source->at, length);
    source->at += length;
}

[[noreturn]] void PngFail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarning(png_structp, png_const_charp) {}

struct PngSession {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngSource source{};
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    bool alpha = false;
    bool interlaced = false;
    RowTarget target;
    // Rows of the whole picture as libpng delivers them, where they cannot
    // go straight into the bitmap: interlaced with alpha or turned.
    std::uint8_t* whole = nullptr;
    std::uint8_t* alphaRow = nullptr;  // one BGRA row, with alpha
};

void PngReadHeader(PngSession& s) {
    png_set_read_fn(s.png, &s.source, PngRead);
    png_read_info(s.png, s.info);
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(s.png, s.info, &s.width, &s.height, &depth, &colour, &interlace, nullptr, nullptr);
    s.alpha = (colour & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(s.png, s.info, PNG_INFO_tRNS) != 0;
    s.interlaced = interlace != PNG_INTERLACE_NONE;
    png_set_expand(s.png);  // palette to colours, low grey depths to 8 bits, tRNS to alpha
    png_set_scale_16(s.png);
    png_set_gray_to_rgb(s.png);
    png_set_bgr(s.png);
    if (s.interlaced) png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    // Every row is written into room for exactly this many bytes.
    if (png_get_rowbytes(s.png, s.info) != (s.alpha ? 4 : 3) * std::size_t{s.width}) png_error(s.png, "row size");
}

void PngPlaceAlphaRow(PngSession& s, const std::uint8_t* bgra, std::int32_t y) {
    const auto width = static_cast<std::int32_t>(s.width);
    std::uint8_t* row = s.target.RowFor(y);
    for (std::int32_t x = 0; x < width; ++x, bgra += 4, row += 3) {
        row[0] = OverBlack(bgra[0], bgra[3]);
        row[1] = OverBlack(bgra[1], bgra[3]);
        row[2] = OverBlack(bgra[2], bgra[3]);
    }
    s.target.Done(y, width);
}

void PngReadRows(PngSession& s) {
    const auto height = static_cast<std::int32_t>(s.height);
    const auto width = static_cast<std::int32_t>(s.width);
    const std::size_t pixel = s.alpha ? 4 : 3;
    if (s.whole != nullptr) {
        // Interlaced passes fill the same rows over and over.
        const int passes = png_set_interlace_handling(s.png);
        for (int pass = 0; pass < passes; ++pass) {
            for (std::int32_t y = 0; y < height; ++y) {
                png_read_row(s.png, s.whole + pixel * std::size_t{s.width} * static_cast<std::size_t>(y), nullptr);
            }
        }
        for (std::int32_t y = 0; y < height; ++y) {
            const std::uint8_t* row = s.whole + pixel * std::size_t{s.width} * static_cast<std::size_t>(y);
            if (s.alpha) {
                PngPlaceAlphaRow(s, row, y);
            } else {
                std::memcpy(s.target.RowFor(y), row, 3 * std::size_t{s.width});
                s.target.Done(y, width);
            }
        }
    } else if (s.interlaced) {
        // Opaque and upright: the passes fill the bitmap's own rows.
        const int passes = png_set_interlace_handling(s.png);
        for (int pass = 0; pass < passes; ++pass) {
            for (std::int32_t y = 0; y < height; ++y) png_read_row(s.png, s.target.dib->Row(y), nullptr);
        }
    } else {
        for (std::int32_t y = 0; y < height; ++y) {
            if (s.alpha) {
                png_read_row(s.png, s.alphaRow, nullptr);
                PngPlaceAlphaRow(s, s.alphaRow, y);
            } else {
                png_read_row(s.png, s.target.RowFor(y), nullptr);
                s.target.Done(y, width);
            }
        }
    }
}

bool PngGuarded(PngSession& s, void (*step)(PngSession&)) {
    if (setjmp(png_jmpbuf(s.png)) != 0) return false;
    step(s);
    return true;
}

// Frees libpng's structures whichever way decoding ends.
struct PngStructs {
    PngSession& s;
    ~PngStructs() { png_destroy_read_struct(&s.png, s.info != nullptr ? &s.info : nullptr, nullptr); }
};

}  // namespace

bool DecodeJpeg(const std::uint8_t* data, std::size_t size, Dib& out, const PictureNeed* need, JpegSource library) {
    // A cut file is refused before anything is decoded, as on Windows.
    if (!formats::JpegHasItsEnd(data, size)) return false;
    JpegSession s{};
    s.jpeg = library();
    if (s.jpeg == nullptr) return false;
    s.cinfo.err = s.jpeg->jpeg_std_error(&s.errors.manager);
    s.errors.manager.error_exit = JpegFail;
    s.errors.manager.emit_message = JpegMessage;
    s.errors.manager.output_message = JpegSilent;
    if (!JpegGuarded(s, [](JpegSession& s) {
            s.jpeg->jpeg_CreateDecompress(&s.cinfo, JPEG_LIB_VERSION, sizeof(s.cinfo));
        })) {
        return false;
    }
    // A progressive picture keeps all its coefficients while it is decoded;
    // beyond the readers' limit libjpeg refuses instead of allocating.
    s.cinfo.mem->max_memory_to_use = static_cast<long>(formats::kMaxPixelBytes);
    bool decoded = false;
    try {
        Dib dib;
        std::vector<std::uint8_t> scratch;
        std::vector<std::uint8_t> cmyk;
        s.jpeg->jpeg_mem_src(&s.cinfo, data, static_cast<unsigned long>(size));
        const int tag = formats::JpegExifOrientation(data, size);
        bool ready = JpegGuarded(s, JpegReadHeader) && formats::PictureFitsLimit(s.cinfo.image_width, s.cinfo.image_height);
        if (ready && need != nullptr) {
            s.scaleEighths = EighthsFor(s.cinfo.image_width, s.cinfo.image_height, tag, *need);
            ready = JpegGuarded(s, JpegScale);
        }
        const JDIMENSION width = need != nullptr ? s.cinfo.output_width : s.cinfo.image_width;
        const JDIMENSION height = need != nullptr ? s.cinfo.output_height : s.cinfo.image_height;
        s.width = width;
        s.height = height;
        // Upright colour pictures for a screen go into 32-bit rows, which
        // the scaler reads in place.
        s.padded = need != nullptr && need->width > 0 && need->height > 0 && formats::Orientation(tag, 1, 1).Upright() &&
                   s.cinfo.out_color_space != JCS_CMYK;
        if (ready && Prepare(width, height, tag, dib, scratch, s.target, s.padded ? 32 : kDepth)) {
            if (s.cinfo.out_color_space == JCS_CMYK) {
                cmyk.assign(4 * std::size_t{width}, 0);
                s.cmykRow = cmyk.data();
            }
            decoded = JpegGuarded(s, JpegReadRows);
        }
        if (decoded) out = std::move(dib);
    } catch (const std::bad_alloc&) {
        decoded = false;
    }
    s.jpeg->jpeg_destroy_decompress(&s.cinfo);
    return decoded;
}

bool DecodePng(const std::uint8_t* data, std::size_t size, Dib& out) {
    if (data == nullptr || size == 0) return false;
    PngSession s;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngWarning);
    if (s.png == nullptr) return false;
    PngStructs structs{s};
    s.info = png_create_info_struct(s.png);
    if (s.info == nullptr) return false;
    s.source = PngSource{data, size, 0};
    bool decoded = false;
    try {
        Dib dib;
        std::vector<std::uint8_t> scratch;
        std::vector<std::uint8_t> rows;
        if (PngGuarded(s, PngReadHeader) && Prepare(s.width, s.height, 1, dib, scratch, s.target)) {
            const std::size_t pixel = s.alpha ? 4 : 3;
            if (s.interlaced && (s.alpha || !s.target.orientation.Upright())) {
                rows.assign(pixel * std::size_t{s.width} * std::size_t{s.height}, 0);
                s.whole = rows.data();
            } else if (s.alpha) {
                rows.assign(4 * std::size_t{s.width}, 0);
                s.alphaRow = rows.data();
            }
            decoded = PngGuarded(s, PngReadRows);
        }
        if (decoded) out = std::move(dib);
    } catch (const std::bad_alloc&) {
        decoded = false;
    }
    return decoded;
}

bool DecodeWebp(const std::uint8_t* data, std::size_t size, Dib& out, WebpSource library) {
    if (data == nullptr || size == 0) return false;
    const WebpLibrary* webp = library();
    if (webp == nullptr) return false;
    WebPBitstreamFeatures features;
    if (webp->WebPGetFeaturesInternal(data, size, &features, WEBP_DECODER_ABI_VERSION) != VP8_STATUS_OK ||
        features.has_animation) {
        return false;
    }
    try {
        Dib dib;
        std::vector<std::uint8_t> scratch;
        RowTarget target;
        if (features.width <= 0 || features.height <= 0 ||
            !Prepare(static_cast<std::uint32_t>(features.width), static_cast<std::uint32_t>(features.height), 1, dib,
                     scratch, target)) {
            return false;
        }
        WebPDecoderConfig config;
        if (!webp->WebPInitDecoderConfigInternal(&config, WEBP_DECODER_ABI_VERSION)) return false;
        config.output.is_external_memory = 1;
        std::vector<std::uint8_t> premultiplied;
        if (features.has_alpha) {
            // Premultiplied colour is colour over black.
            premultiplied.assign(4 * static_cast<std::size_t>(features.width) * static_cast<std::size_t>(features.height), 0);
            config.output.colorspace = MODE_bgrA;
            config.output.u.RGBA.rgba = premultiplied.data();
            config.output.u.RGBA.stride = 4 * features.width;
            config.output.u.RGBA.size = premultiplied.size();
        } else {
            // Flipped, the first row lands last: the bitmap keeps its rows
            // bottom-up.
            config.options.flip = 1;
            config.output.colorspace = MODE_BGR;
            config.output.u.RGBA.rgba = dib.bits.data();
            config.output.u.RGBA.stride = static_cast<int>(dib.Stride());
            config.output.u.RGBA.size = dib.bits.size();
        }
        const bool decoded = webp->WebPDecode(data, size, &config) == VP8_STATUS_OK;
        webp->WebPFreeDecBuffer(&config.output);
        if (!decoded) return false;
        if (features.has_alpha) {
            const std::size_t width = static_cast<std::size_t>(features.width);
            for (std::int32_t y = 0; y < features.height; ++y) {
                const std::uint8_t* in = premultiplied.data() + 4 * width * static_cast<std::size_t>(y);
                std::uint8_t* row = dib.Row(y);
                for (std::size_t x = 0; x < width; ++x) std::memcpy(row + 3 * x, in + 4 * x, 3);
            }
        }
        out = std::move(dib);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool DecodePicture(const std::uint8_t* data, std::size_t size, Dib& out, const PictureNeed* need) {
    switch (formats::SniffPicture(data, size)) {
        case formats::PictureKind::Jpeg:
            return DecodeJpeg(data, size, out, need);
        case formats::PictureKind::Png:
            return DecodePng(data, size, out);
        case formats::PictureKind::WebP:
            return DecodeWebp(data, size, out);
        default:
            return false;
    }
}

namespace {

// The whole of an open file of `size` bytes, from its start, decoded with
// DecodePicture.
bool DecodePictureFrom(int fd, std::uint64_t size, Dib& out, const PictureNeed* need) {
    // A compressed picture within the limit is far smaller than this.
    if (size == 0 || size > formats::kMaxPixelBytes || ::lseek(fd, 0, SEEK_SET) != 0) return false;
    try {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
        std::size_t got = 0;
        return ReadUpTo(fd, bytes.data(), bytes.size(), got) && got == bytes.size() &&
               DecodePicture(bytes.data(), bytes.size(), out, need);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

bool LoadPictureFile(const std::string& path, Dib& out, const PictureNeed* need) {
    struct stat info {};
    const int fd = OpenRegularFile(path, O_RDONLY, info);
    if (fd < 0) return false;
    const auto size = static_cast<std::uint64_t>(info.st_size);
    std::uint8_t head[formats::kSniffBytes];
    std::size_t got = 0;
    bool loaded = false;
    if (ReadUpTo(fd, head, sizeof head, got)) {
        const formats::PictureKind kind = formats::SniffPicture(head, got);
        loaded = kind == formats::PictureKind::Jpeg || kind == formats::PictureKind::Png ||
                         kind == formats::PictureKind::WebP
                     ? DecodePictureFrom(fd, size, out, need)
                     : DecodeBmpFrom(fd, size, out);
    }
    ::close(fd);
    return loaded;
}

}  // namespace paneloom::platform::lnx
