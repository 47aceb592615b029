// `--check`: what in a configuration would surprise its author, found by
// reading it with the run's own scanning.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace paneloom {

struct Finding {
    std::int32_t line = 1;  // counted from 1 in the file as written
    std::string message;
};

// What the findings depend on besides the file.
struct CheckMachine {
    // Every variable name the machine has, and those of them that stay as
    // written here (the processor's, when the system does not describe it).
    std::vector<std::string> variables;
    std::set<std::string> unreplaced;
    // The build lower-cases file names (its file system ignores case).
    bool namesIgnoreCase = false;
};

// Findings from the text of the file alone (faces asked of the platform),
// in line order: unknown and misspelt elements and attributes, elements
// never closed or never read, values read from another attribute than the
// one written, values that do not parse, texts that draw boxes or stop
// short, variables that nothing replaces, faces that are not installed.
std::vector<Finding> FindTextProblems(const std::string& file, const CheckMachine& machine);

// Where the check found the elements whose drawing a run of the file can
// fault: the input picture's tag, and each output element's items.
struct DrawnItemPlaces {
    std::int32_t inputPictureLine = 1;
    // Per output element the run draws, in order: its own line, then the
    // lines of its items in the order they are drawn (lines, then textat).
    std::vector<std::vector<std::int32_t>> outputs;
};
DrawnItemPlaces FindDrawnItemPlaces(const std::string& file);

// Checks the configuration at `configPath` (from the current directory):
// the findings of the text, then those of a run of it that writes nothing
// (the input picture cannot be read, text falls wholly outside it, the run
// would log something). Prints them as "FILE:LINE: message"; exit code 0
// when there are none, 1 when there are.
int CheckConfiguration(const std::string& configPath);

}  // namespace paneloom
