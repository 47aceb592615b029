// HarfBuzz and FriBidi, opened at the first line that needs them. Most
// lines (Latin, Greek, Cyrillic, the CJK scripts) are laid out without
// either, and HarfBuzz brings GLib, PCRE2 and Graphite with it: linked, the
// three would be mapped and bound at every start. Only the types and
// constants of the headers are used at build time.
#pragma once

#include <fribidi.h>
#include <hb-ft.h>
#include <hb.h>

#include <memory>

namespace paneloom::platform::lnx {

// Each function of either library that the text engine calls.
#define PANELOOM_HARFBUZZ_FUNCTIONS(X)  \
    X(hb_unicode_funcs_get_default)     \
    X(hb_unicode_combining_class)       \
    X(hb_unicode_general_category)      \
    X(hb_unicode_script)                \
    X(hb_buffer_create)                 \
    X(hb_buffer_destroy)                \
    X(hb_buffer_clear_contents)         \
    X(hb_buffer_add_utf32)              \
    X(hb_buffer_set_direction)          \
    X(hb_buffer_set_script)             \
    X(hb_buffer_guess_segment_properties) \
    X(hb_buffer_get_glyph_infos)        \
    X(hb_buffer_get_glyph_positions)    \
    X(hb_shape)                         \
    X(hb_ft_face_create_referenced)     \
    X(hb_face_destroy)                  \
    X(hb_font_create)                   \
    X(hb_font_set_scale)                \
    X(hb_font_set_ppem)                 \
    X(hb_font_destroy)
#define PANELOOM_FRIBIDI_FUNCTIONS(X) \
    X(fribidi_get_bidi_types)         \
    X(fribidi_get_bracket_types)      \
    X(fribidi_get_par_embedding_levels_ex)

struct ShapingLibrary {
#define PANELOOM_SHAPING_POINTER(name) decltype(&::name) name = nullptr;
    PANELOOM_HARFBUZZ_FUNCTIONS(PANELOOM_SHAPING_POINTER)
    PANELOOM_FRIBIDI_FUNCTIONS(PANELOOM_SHAPING_POINTER)
#undef PANELOOM_SHAPING_POINTER
};

// Opens the two libraries by these names and finds every function above;
// nullptr when either library or any function is missing. The libraries
// stay loaded for the rest of the process.
std::unique_ptr<const ShapingLibrary> OpenShapingLibrary(const char* harfbuzz, const char* fribidi);

// Where the text engine gets the libraries from, asked only when a line
// needs them; nullptr: lay every line out character by character, left to
// right, as lines of the simple scripts are.
using ShapingSource = const ShapingLibrary* (*)();

// The system's libraries by their sonames, opened at the first call of the
// process; later calls answer the same.
const ShapingLibrary* SystemShaping();

// No shaping library: the layout when the system's cannot be opened.
inline const ShapingLibrary* NoShaping() { return nullptr; }

}  // namespace paneloom::platform::lnx
