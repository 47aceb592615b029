// The version strings of the configured executable: %EXECUTABLE_COMPANY%,
// %EXECUTABLE_PRODUCT%, %EXECUTABLE_VERSION% and %EXECUTABLE_COPYRIGHT%.
#pragma once

#include <string>

namespace paneloom {

// Reads the version strings of the file at `path`. Company, product and
// version start as "[no info]" and the copyright as given; a missing file, a
// file without a version record or a record that cannot be read keeps them
// and counts as success (true). A record without a translation table, or a
// failure inside (logged), gives false.
bool ReadVersionStrings(const std::string& path, std::string& company, std::string& product,
                       std::string& version, std::string& copyright) noexcept;

// Replaces the four executable variables from the version strings of the
// file at `executablePath`, or none of them when they cannot be looked up.
void SubstituteExecutableVariables(std::string& text, const std::string& executablePath);

}  // namespace paneloom
