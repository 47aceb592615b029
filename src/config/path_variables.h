// Environment variables in the file names of the configuration, so that one
// installed configuration names a file in each user's own folder:
// <outputbmp name="%LOCALAPPDATA%\Paneloom\PaneloomInfo.bmp" />.
#pragma once

#include <string>

namespace paneloom {

// Replaces, left to right, each %NAME% in `path` by the value of the
// environment variable NAME, as Windows expands such texts: a `%` opens a
// name that the next `%` closes, and what a value brings is never scanned
// again. A name that the environment lacks, holds empty, or that is empty
// or holds `=`, stays as written with both its `%`, and the scan goes on
// after it; a `%` that nothing closes stays as it is. Returns true when at
// least one variable was replaced.
bool ExpandPathVariables(std::string& path);

}  // namespace paneloom
