// `--preview`: the picture a run would draw, into a file of the user's.
#pragma once

#include <string>

namespace paneloom {

// Runs the configuration at `configPath` as a run would, from the current
// directory, but writes the finished picture to `out` (PNG where the name
// ends in .png, else .bmp) instead of the configured output file, leaves
// the wallpaper and its style alone and tells the run's messages on
// standard error instead of the log. The exit code is the run's; 1 where
// the run went through but `out` could not be written.
int Preview(const std::string& out, const std::string& configPath);

}  // namespace paneloom
