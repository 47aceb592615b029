// What the variables keep of the machine from one substitution to the next
// within a run: the records that are queried once per run, and the network's
// binding and query blocks, which are kept and reused. RunMain makes one
// for the run and hands it to every substitution; a test makes a fresh one
// for a machine that has not been asked anything yet.
#pragma once

#include "net/network.h"
#include "platform/ip_helper.h"
#include "variables/os_processor.h"
#include "variables/volumes.h"

namespace paneloom {

struct VariableCaches {
    // The network is read through the platform's IP helper library unless a
    // test hands in its own.
    explicit VariableCaches(platform::IpHelper& ipHelper = platform::Get<platform::IpHelper>())
        : network(ipHelper) {}

    Network network;      // the IP helper binding, its query blocks and the views' current records
    OsVersion osVersion;  // kept once a query succeeds; a failed one is asked again
    SystemInfo systemInfo;
    DriveList driveList;
};

}  // namespace paneloom
