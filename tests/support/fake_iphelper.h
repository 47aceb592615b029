// A fake IP helper library for driving the network code with chosen records.
//
// A test hands it to the Network (or the IpHelperQueries) it makes. Its
// functions count their calls, remember what they were handed, and answer the
// buffer protocol with records built from the fields below, padded to any
// chosen size.
#pragma once

#include <cstdint>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "net/network.h"
#include "platform/ip_helper.h"

namespace paneloom::testing {

// What one of the functions was asked and how it answers.
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
    DWORD speed = 100000000;            // the row's 32-bit figure
    std::uint64_t linkSpeed = 0;        // GetIfEntry2's; 0 means the same as the row's
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

// An adapter with that description, interface index and addresses; its
// hardware address ends in the index.
FakeAdapter MakeAdapter(const std::string& description, DWORD index, std::vector<FakeAddress> ips);

// An interface row of that type, MTU, speed and description.
FakeInterface MakeInterface(DWORD type, DWORD mtu, DWORD speed, const std::string& description);

class FakeIpHelper : public platform::IpHelper {
public:
    // The library.
    bool present = true;                // whether Load succeeds
    std::set<std::string> notExported;  // function names it does not provide
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
    FakeFunction ifEntry2;                  // its failWith answers every call; no block or length
    std::vector<ULONG> perAdapterIndexes;  // the index of every GetPerAdapterInfo call
    std::vector<BOOL> ifTableOrder;        // the order flag of every GetIfTable call
    std::vector<ULONG> ifEntry2Indexes;    // the InterfaceIndex of every GetIfEntry2 call

    bool Load() override;
    bool Provides(platform::IpHelperFunction function) override;
    DWORD GetNetworkParams(PFIXED_INFO block, PULONG length) override;
    ULONG GetAdaptersInfo(PIP_ADAPTER_INFO block, PULONG length) override;
    DWORD GetPerAdapterInfo(ULONG index, PIP_PER_ADAPTER_INFO block, PULONG length) override;
    DWORD GetIfTable(PMIB_IFTABLE block, PULONG length, BOOL order) override;
    // The interface of the table whose row has that index (rows are numbered
    // from 1), looked up by index alone.
    DWORD GetIfEntry2(PMIB_IF_ROW2 row) override;

private:
    bool loaded_ = false;
};

}  // namespace paneloom::testing
