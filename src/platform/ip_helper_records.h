// The IP helper records that the four IP helper queries fill and the network
// views read.
//
// On Windows these are the platform's own declarations. Elsewhere we declare
// the same records ourselves, with the published names, field names and field
// order, so that the code reading them is written once. ULONG and DWORD are
// 32-bit here as on Windows (never `unsigned long`, which is 64-bit on LP64),
// and the lease times are `time_t` as in the 64-bit Windows headers.
#pragma once

#ifdef _WIN32

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#else  // !_WIN32

#include <cstdint>
#include <ctime>

typedef std::uint32_t ULONG;
typedef std::uint32_t DWORD;
typedef unsigned int UINT;
typedef int BOOL;
typedef std::uint8_t BYTE;
typedef char16_t WCHAR;  // UTF-16 code unit, as on Windows
typedef ULONG* PULONG;

inline constexpr DWORD NO_ERROR = 0;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_NO_DATA = 232;

inline constexpr int MAX_HOSTNAME_LEN = 128;
inline constexpr int MAX_DOMAIN_NAME_LEN = 128;
inline constexpr int MAX_SCOPE_ID_LEN = 256;
inline constexpr int MAX_ADAPTER_NAME_LENGTH = 256;
inline constexpr int MAX_ADAPTER_DESCRIPTION_LENGTH = 128;
inline constexpr int MAX_ADAPTER_ADDRESS_LENGTH = 8;
inline constexpr int MAX_INTERFACE_NAME_LEN = 256;
inline constexpr int MAXLEN_PHYSADDR = 8;
inline constexpr int MAXLEN_IFDESCR = 256;
inline constexpr int ANY_SIZE = 1;

// Interface type numbers (the IANA ifType values that Windows reports).
inline constexpr UINT MIB_IF_TYPE_OTHER = 1;
inline constexpr UINT MIB_IF_TYPE_ETHERNET = 6;
inline constexpr UINT MIB_IF_TYPE_TOKENRING = 9;
inline constexpr UINT MIB_IF_TYPE_FDDI = 15;
inline constexpr UINT MIB_IF_TYPE_PPP = 23;
inline constexpr UINT MIB_IF_TYPE_LOOPBACK = 24;
inline constexpr UINT MIB_IF_TYPE_SLIP = 28;
inline constexpr UINT IF_TYPE_IEEE80211 = 71;

// A dotted IPv4 text: at most "255.255.255.255" and its terminating zero.
typedef struct {
    char String[4 * 4];
} IP_ADDRESS_STRING, *PIP_ADDRESS_STRING, IP_MASK_STRING, *PIP_MASK_STRING;

typedef struct _IP_ADDR_STRING {
    struct _IP_ADDR_STRING* Next;
    IP_ADDRESS_STRING IpAddress;
    IP_MASK_STRING IpMask;
    DWORD Context;
} IP_ADDR_STRING, *PIP_ADDR_STRING;

typedef struct {
    char HostName[MAX_HOSTNAME_LEN + 4];
    char DomainName[MAX_DOMAIN_NAME_LEN + 4];
    PIP_ADDR_STRING CurrentDnsServer;
    IP_ADDR_STRING DnsServerList;
    UINT NodeType;
    char ScopeId[MAX_SCOPE_ID_LEN + 4];
    UINT EnableRouting;
    UINT EnableProxy;
    UINT EnableDns;
} FIXED_INFO, *PFIXED_INFO;

typedef struct _IP_ADAPTER_INFO {
    struct _IP_ADAPTER_INFO* Next;
    DWORD ComboIndex;
    char AdapterName[MAX_ADAPTER_NAME_LENGTH + 4];
    char Description[MAX_ADAPTER_DESCRIPTION_LENGTH + 4];
    UINT AddressLength;
    BYTE Address[MAX_ADAPTER_ADDRESS_LENGTH];
    DWORD Index;
    UINT Type;
    UINT DhcpEnabled;
    PIP_ADDR_STRING CurrentIpAddress;
    IP_ADDR_STRING IpAddressList;
    IP_ADDR_STRING GatewayList;
    IP_ADDR_STRING DhcpServer;
    BOOL HaveWins;
    IP_ADDR_STRING PrimaryWinsServer;
    IP_ADDR_STRING SecondaryWinsServer;
    std::time_t LeaseObtained;
    std::time_t LeaseExpires;
} IP_ADAPTER_INFO, *PIP_ADAPTER_INFO;

typedef struct _IP_PER_ADAPTER_INFO {
    UINT AutoconfigEnabled;
    UINT AutoconfigActive;
    PIP_ADDR_STRING CurrentDnsServer;
    IP_ADDR_STRING DnsServerList;
} IP_PER_ADAPTER_INFO, *PIP_PER_ADAPTER_INFO;

typedef struct _MIB_IFROW {
    WCHAR wszName[MAX_INTERFACE_NAME_LEN];
    DWORD dwIndex;
    DWORD dwType;
    DWORD dwMtu;
    DWORD dwSpeed;
    DWORD dwPhysAddrLen;
    BYTE bPhysAddr[MAXLEN_PHYSADDR];
    DWORD dwAdminStatus;
    DWORD dwOperStatus;
    DWORD dwLastChange;
    DWORD dwInOctets;
    DWORD dwInUcastPkts;
    DWORD dwInNUcastPkts;
    DWORD dwInDiscards;
    DWORD dwInErrors;
    DWORD dwInUnknownProtos;
    DWORD dwOutOctets;
    DWORD dwOutUcastPkts;
    DWORD dwOutNUcastPkts;
    DWORD dwOutDiscards;
    DWORD dwOutErrors;
    DWORD dwOutQLen;
    DWORD dwDescrLen;
    BYTE bDescr[MAXLEN_IFDESCR];
} MIB_IFROW, *PMIB_IFROW;

typedef struct _MIB_IFTABLE {
    DWORD dwNumEntries;
    MIB_IFROW table[ANY_SIZE];
} MIB_IFTABLE, *PMIB_IFTABLE;

// The row holds no pointer, so its layout is the same for every build.
static_assert(sizeof(MIB_IFROW) == 860, "MIB_IFROW must keep the Windows layout");

#endif  // _WIN32
