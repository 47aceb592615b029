// Laying IP helper records out in the caller's block, with the buffer
// protocol of the four functions: a missing block or a length smaller than
// needed gets the needed size written to the length argument and the
// function's too-small code back; a block that is large enough is filled,
// with every pointer field pointing into that block, and the length is left
// as it was.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/utf8.h"
#include "platform/ip_helper_records.h"

namespace paneloom::platform::lnx {

// Records laid out at their final offsets, plus the pointer fields to aim
// into the caller's block once it is known.
class RecordImage {
public:
    // Appends a zeroed slot for one T at T's alignment; returns its offset.
    template <typename T>
    std::size_t Reserve() {
        const std::size_t align = alignof(T);
        const std::size_t offset = (bytes_.size() + align - 1) / align * align;
        bytes_.resize(offset + sizeof(T), 0);
        return offset;
    }

    // Grows the image to at least `size` bytes (zero filled).
    void Extend(std::size_t size) {
        if (bytes_.size() < size) bytes_.resize(size, 0);
    }

    template <typename T>
    void Put(std::size_t offset, const T& value) {
        std::memcpy(bytes_.data() + offset, &value, sizeof(T));
    }

    // The pointer field at `pointerOffset` will point at `targetOffset`.
    void Link(std::size_t pointerOffset, std::size_t targetOffset) { links_.emplace_back(pointerOffset, targetOffset); }

    // Copies the image into `block` under the buffer protocol.
    DWORD Deliver(void* block, PULONG length, DWORD tooSmallCode) const;

private:
    std::vector<unsigned char> bytes_;
    std::vector<std::pair<std::size_t, std::size_t>> links_;
};

// A text into a fixed field, cut to fit on a character boundary (Linux's
// texts are UTF-8) and always terminated.
template <std::size_t N>
void CopyText(char (&field)[N], const std::string& text) {
    const std::size_t n = BoundaryAtOrBefore(text, N - 1);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

// One entry of an address chain: a dotted address and its dotted mask (empty
// for a DNS server).
struct AddressPair {
    std::string address;
    std::string mask;
};

IP_ADDR_STRING MakeAddrString(const AddressPair& pair);

// DNS servers as chain entries without masks.
std::vector<AddressPair> DnsEntries(const std::vector<std::string>& servers);

// Writes a chain whose first entry is held inside a record at `headOffset`
// (the record itself must already be in the image); the other entries are
// appended. An empty list leaves the head as it is.
void PutChain(RecordImage& image, std::size_t headOffset, const std::vector<AddressPair>& entries);

}  // namespace paneloom::platform::lnx
