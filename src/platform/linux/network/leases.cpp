#include "platform/linux/network/leases.h"

#include <algorithm>
#include <ctime>
#include <string>

#include "common/scan.h"
#include "platform/linux/files/file_reader.h"

namespace paneloom::platform::lnx {

namespace {

bool HasAddress(const std::vector<AddressPair>& addresses, const std::string& address) {
    return std::any_of(addresses.begin(), addresses.end(),
                       [&](const AddressPair& p) { return p.address == address; });
}

}  // namespace

Lease FindLease(const NetSource& source, const LinkInfo& link, const std::vector<AddressPair>& addresses) {
    std::vector<Lease> candidates;
    std::string text;
    std::time_t written = 0;

    const auto readLease = [&](const std::string& path, bool tail) {
        written = 0;
        ModificationTime(path, written);
        return ReadBoundedFile(path, kMaxTextFileBytes, text, tail ? KeepEnd::Tail : KeepEnd::Head);
    };

    // systemd-networkd
    const std::string networkd = source.Path("/run/systemd/netif/leases/" + std::to_string(link.index));
    if (readLease(networkd, false)) candidates.push_back(ParseKeyValueLease(text, written));

    // NetworkManager: "<client>-<connection uuid>-<interface>.lease", in the
    // internal client's key=value form or in dhclient's form.
    const std::string nmDir = source.Path("/var/lib/NetworkManager");
    for (const std::string& name : ListDirectory(nmDir)) {
        if (!EndsWith(name, "-" + link.name + ".lease")) continue;
        if (!readLease(nmDir + "/" + name, true)) continue;
        if (text.find("lease {") != std::string::npos || text.find("lease{") != std::string::npos) {
            candidates.push_back(ParseDhclientLeases(text, link.name, true, written));
        } else {
            candidates.push_back(ParseKeyValueLease(text, written));
        }
    }

    // dhclient: one file per interface ("dhclient.eth0.leases") or one shared file.
    for (const char* dir : {"/var/lib/dhcp", "/var/lib/dhclient"}) {
        const std::string path = source.Path(dir);
        for (const std::string& name : ListDirectory(path)) {
            if (!StartsWith(name, "dhclient") || !(EndsWith(name, ".leases") || EndsWith(name, ".lease"))) continue;
            if (StartsWith(name, "dhclient6")) continue;
            const bool own = EndsWith(name, "." + link.name + ".leases") ||
                             EndsWith(name, "-" + link.name + ".leases") || EndsWith(name, "-" + link.name + ".lease");
            if (!readLease(path + "/" + name, true)) continue;
            candidates.push_back(ParseDhclientLeases(text, link.name, own, written));
        }
    }

    // dhcpcd: "eth0.lease", older "dhcpcd-eth0.lease", per network "wlan0-ssid.lease".
    for (const char* dir : {"/var/lib/dhcpcd", "/var/lib/dhcpcd5", "/var/db/dhcpcd"}) {
        const std::string path = source.Path(dir);
        for (const std::string& name : ListDirectory(path)) {
            const bool own = name == link.name + ".lease" || name == "dhcpcd-" + link.name + ".lease" ||
                             (link.wireless && StartsWith(name, link.name + "-") && EndsWith(name, ".lease"));
            if (!own || !readLease(path + "/" + name, false)) continue;
            candidates.push_back(ParseDhcpcdLease(text, written));
        }
    }

    Lease chosen;
    for (const Lease& lease : candidates) {
        if (!lease.found) continue;
        if (!lease.address.empty() && !HasAddress(addresses, lease.address)) continue;
        if (!chosen.found || lease.written > chosen.written) chosen = lease;
    }
    return chosen;
}

}  // namespace paneloom::platform::lnx
