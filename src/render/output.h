// The output element: substitutes variables in its content, lays the content
// out as text items and draws them into the bitmap selected in `dc`.
//
// Content holds two kinds of element. A textline flows: it is placed at the
// start x and the current start y, which it then moves down by one line. A
// textat is placed as written. Every textline becomes one generated textat,
// so what is finally drawn is always a text of textat elements; that text
// is kept in the run settings and drawn again by an output element that
// yields no items of its own.
#pragma once

#include <string>

#include "config/run_settings.h"
#include "platform/graphics.h"
#include "variables/variable_caches.h"

namespace paneloom {

// The format of the textat element generated for each textline; the
// drawing step reads exactly this form back.
extern const char* const kGeneratedTextAtFormat;

// Substitutes the variables in `content` (in place), converts its textline
// elements, collects its textat elements and draws the result. An output
// element without items draws the items of the most recent one that had
// any; before any had, it draws the default output text. The start y and
// the current items are kept in `settings` for the next output element.
void DoDisplayOutput(std::string& content, platform::DcHandle dc, RunSettings& settings, VariableCaches& caches);

// Sets `items` to the generated textat elements of all textline elements of
// `content`, in document order, moving the settings' start y down after
// each; true when at least one line was converted.
bool ConvertTextLines(const std::string& content, std::string& items, RunSettings& settings);

// Sets `items` to the textat elements of `content`, each whole from "<textat"
// through its "/>", in document order; true when at least one was found.
bool CollectTextAt(const std::string& content, std::string& items);

}  // namespace paneloom
