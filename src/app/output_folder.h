// Where a run writes: a configuration may name the picture in a folder of
// each user's own through an environment variable, and the run then keeps
// its log there too.
#pragma once

#include "app/run_main.h"

namespace paneloom {

// Expands the environment variables in the two bitmap paths. When the output
// path named its folder through one (%LOCALAPPDATA%\Paneloom\...), that
// folder is made when missing and the run works in it from here on, so that
// the error log is written beside the picture. The input picture and the
// executable named so far are first taken as full paths: they are still read
// from the folder the run started in. A plain output path changes nothing,
// and a folder that cannot be made leaves the run where it is (the write
// then fails as for any missing folder).
void EnterOutputFolder(RunContext& context);

}  // namespace paneloom
