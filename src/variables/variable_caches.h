// What the variables keep of the machine from one substitution to the next
// within a run: the records that are queried once per run. RunMain makes one
// for the run and hands it to every substitution; a test makes a fresh one
// for a machine that has not been asked anything yet.
#pragma once

#include "variables/os_processor.h"
#include "variables/volumes.h"

namespace paneloom {

struct VariableCaches {
    OsVersion osVersion;  // kept once a query succeeds; a failed one is asked again
    SystemInfo systemInfo;
    DriveList driveList;
};

}  // namespace paneloom
