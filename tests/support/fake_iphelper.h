// A fake IP helper library for driving the network code with chosen records.
//
// While a FakeIpHelper lives, the IP helper library seam loads it instead of
// the real one, and the network state (binding, query blocks, current view
// records) starts afresh; it is reset again when the fake goes. Its four
// functions count their calls, remember what they were handed, and answer the
// buffer protocol with records built from the fields below, padded to any
// chosen size.
#pragma once

#include <cstdint>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "platform/iphelper_library.h"
#include "platform/iphelper_records.h"

namespace paneloom::testing {

// What one of the four functions was asked and how it answers.
struct FakeFunction {
    int calls = 0;
    std::vector<bool> blockWasNull;       // per call
    std::vector<ULONG> lengthsHandedIn;   // per call, before the function wrote it
    std::vector<const void*> blocks;      // per call
    DWORD failWith = 0;                   // non-zero: answer this code to every call
    ULONG padding = 0;                    // extra bytes after the records
    ULONG growthPerCall = 0;              // padding added after every call
};

struct FakeAddress {
    std::string address;
    std::string mask;
};

struct FakeAdapter {
    std::string description;
    std::vector<std::uint8_t> address;  // copied into Address, at most 8 bytes
    int addressLength = -1;             // AddressLength; -1 means address.size()
    DWORD index = 0;
    UINT type = 6;
    bool dhcp = false;
    std::string dhcpServer;
    std::int64_t leaseObtained = 0;
    std::int64_t leaseExpires = 0;
    std::vector<FakeAddress> ips;  // the first one is held inside the record; empty leaves it blank
};

struct FakeInterface {
    DWORD type = 6;
    DWORD mtu = 1500;
    DWORD speed = 100000000;
    std::vector<std::uint8_t> physical;  // at most 8 bytes
    std::string description;            // copied into bDescr, at most 256 bytes
    int descrLength = -1;               // dwDescrLen; -1 means the text and its zero
    bool unterminated = false;          // fill all of bDescr past the text with 'X', no zero
};

struct FakePerAdapter {
    DWORD index = 0;
    std::vector<std::string> dnsServers;  // empty leaves the one entry blank
    ULONG padding = 0;                    // extra bytes for this adapter's record
};

class FakeIpHelper : public platform::IpHelperLibrary {
public:
    FakeIpHelper();
    ~FakeIpHelper() override;
    FakeIpHelper(const FakeIpHelper&) = delete;
    FakeIpHelper& operator=(const FakeIpHelper&) = delete;

    // The library.
    bool present = true;
    std::set<std::string> notExported;  // names whose lookup answers null
    int loads = 0;

    // The machine.
    std::string hostName = "pc1";
    std::string domainName = "lab";
    std::vector<std::string> dnsServers;
    std::vector<FakeAdapter> adapters;
    std::vector<FakePerAdapter> perAdapter;  // an index not listed answers ERROR_NO_DATA
    std::vector<FakeInterface> interfaces;

    FakeFunction networkParams;
    FakeFunction adaptersInfo;
    FakeFunction perAdapterInfo;
    FakeFunction ifTable;
    std::vector<ULONG> perAdapterIndexes;  // the index of every GetPerAdapterInfo call
    std::vector<BOOL> ifTableOrder;        // the order flag of every GetIfTable call

    platform::IpHelperHandle Load() override;
    platform::AnyFunction Lookup(platform::IpHelperHandle library, const char* name) override;

    // The active fake, for the four functions.
    static FakeIpHelper* active;

private:
    platform::IpHelperLibrary* previous_;
    FakeIpHelper* previousActive_;
};

}  // namespace paneloom::testing
