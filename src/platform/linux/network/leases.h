// The DHCP lease an interface holds, from the lease files of the DHCP client
// in use: systemd-networkd, NetworkManager, dhclient or dhcpcd. Best effort:
// whatever cannot be read leaves DHCP off.
#pragma once

#include <vector>

#include "platform/linux/network/parsers.h"
#include "platform/linux/network/readers.h"
#include "platform/linux/network/record_image.h"

namespace paneloom::platform::lnx {

// Of the lease files the DHCP clients keep for the link, the most recently
// written one whose address the interface still has (a lease for an address
// it no longer carries is a stale one). `found` is false when there is none.
Lease FindLease(const NetSource& source, const LinkInfo& link, const std::vector<AddressPair>& addresses);

}  // namespace paneloom::platform::lnx
