#include "platform/linux/network/record_image.h"

#include <limits>

namespace paneloom::platform::lnx {

namespace {

constexpr DWORD kErrorNotEnoughMemory = 8;

}  // namespace

DWORD RecordImage::Deliver(void* block, PULONG length, DWORD tooSmallCode) const {
    if (bytes_.size() > std::numeric_limits<ULONG>::max()) return kErrorNotEnoughMemory;
    const ULONG needed = static_cast<ULONG>(bytes_.size());
    if (block == nullptr || *length < needed) {
        *length = needed;
        return tooSmallCode;
    }
    unsigned char* base = static_cast<unsigned char*>(block);
    std::memcpy(base, bytes_.data(), bytes_.size());
    for (const auto& link : links_) {
        void* target = base + link.second;
        std::memcpy(base + link.first, &target, sizeof target);
    }
    return NO_ERROR;
}

IP_ADDR_STRING MakeAddrString(const AddressPair& pair) {
    IP_ADDR_STRING entry {};
    CopyText(entry.IpAddress.String, pair.address);
    CopyText(entry.IpMask.String, pair.mask);
    return entry;
}

std::vector<AddressPair> DnsEntries(const std::vector<std::string>& servers) {
    std::vector<AddressPair> entries;
    for (const std::string& s : servers) entries.push_back({s, ""});
    return entries;
}

void PutChain(RecordImage& image, std::size_t headOffset, const std::vector<AddressPair>& entries) {
    if (entries.empty()) return;
    image.Put(headOffset, MakeAddrString(entries[0]));
    std::size_t previous = headOffset;
    for (std::size_t k = 1; k < entries.size(); ++k) {
        const std::size_t offset = image.Reserve<IP_ADDR_STRING>();
        image.Put(offset, MakeAddrString(entries[k]));
        image.Link(previous + offsetof(IP_ADDR_STRING, Next), offset);
        previous = offset;
    }
}

}  // namespace paneloom::platform::lnx
