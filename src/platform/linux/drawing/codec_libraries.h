// libjpeg and libwebp, opened at the first picture of their format: a run
// on a .bmp (or a PNG, whose libpng comes with FreeType anyway) maps and
// binds neither. Only the types, constants and inline helpers of the
// headers are used at build time; the sonames are those of the ABI the
// headers describe.
#pragma once

#include <cstdio>

#include <jpeglib.h>
#include <webp/decode.h>

#include <memory>

namespace paneloom::platform::lnx {

// Each function of libjpeg that the JPEG decoder calls (jpeg_create_decompress
// is a macro for jpeg_CreateDecompress).
#define PANELOOM_JPEG_FUNCTIONS(X) \
    X(jpeg_std_error)              \
    X(jpeg_CreateDecompress)       \
    X(jpeg_destroy_decompress)     \
    X(jpeg_mem_src)                \
    X(jpeg_read_header)            \
    X(jpeg_calc_output_dimensions) \
    X(jpeg_start_decompress)       \
    X(jpeg_read_scanlines)         \
    X(jpeg_finish_decompress)
// And of libwebp (WebPGetFeatures and WebPInitDecoderConfig are inline
// calls of the Internal ones, with the headers' ABI version).
#define PANELOOM_WEBP_FUNCTIONS(X)    \
    X(WebPGetFeaturesInternal)        \
    X(WebPInitDecoderConfigInternal)  \
    X(WebPDecode)                     \
    X(WebPFreeDecBuffer)

#define PANELOOM_CODEC_POINTER(name) decltype(&::name) name = nullptr;
struct JpegLibrary {
    PANELOOM_JPEG_FUNCTIONS(PANELOOM_CODEC_POINTER)
};
struct WebpLibrary {
    PANELOOM_WEBP_FUNCTIONS(PANELOOM_CODEC_POINTER)
};
#undef PANELOOM_CODEC_POINTER

// Open the library by this name and find every function above; nullptr
// when the library or any function is missing. A library opened stays
// loaded for the rest of the process.
std::unique_ptr<const JpegLibrary> OpenJpegLibrary(const char* soname);
std::unique_ptr<const WebpLibrary> OpenWebpLibrary(const char* soname);

// Where a decoder gets its library from, asked once a file of its format is
// in hand; nullptr: the picture cannot be decoded, as a corrupt one.
using JpegSource = const JpegLibrary* (*)();
using WebpSource = const WebpLibrary* (*)();

// The system's, by soname, opened at the first call of the process.
const JpegLibrary* SystemJpeg();
const WebpLibrary* SystemWebp();

}  // namespace paneloom::platform::lnx
