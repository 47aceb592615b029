#include "platform/linux/files/file_mapping.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

namespace paneloom::platform::lnx {

namespace {

// The mappings the guard looks after. The run maps one picture; a mapping
// that finds no free place is not made, and the file is read instead.
struct Region {
    std::atomic<bool> used{false};
    // Where the mapping lies, for the guard: begin is 0 while there is none.
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> lost{false};
    // The file whose pages these are, until they are copied out of it.
    bool ofFile = false;
    dev_t device = 0;
    ino_t inode = 0;
};

constexpr int kRegions = 4;
Region regions[kRegions];

std::uintptr_t pageSize = 4096;
struct sigaction previousAction {};

std::size_t Span(std::size_t length) {
    return static_cast<std::size_t>((length + pageSize - 1) & ~(pageSize - 1));
}

// A fault that is not ours goes where it went before.
void PassOn(int signal, siginfo_t* info, void* context) {
    if ((previousAction.sa_flags & SA_SIGINFO) != 0) {
        previousAction.sa_sigaction(signal, info, context);
    } else if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
        previousAction.sa_handler(signal);
    } else {
        // The fault comes again on return and takes its default course.
        ::sigaction(SIGBUS, &previousAction, nullptr);
    }
}

// A touched page past the end of a shrunken file, or one that could not be
// read: from there to the end of its mapping the pages become zeros, and the
// faulting access is made again on them. Only calls that are safe in a
// signal handler are made here.
void OnBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Region& region : regions) {
        const std::uintptr_t begin = region.begin.load(std::memory_order_acquire);
        const std::uintptr_t end = region.end.load(std::memory_order_acquire);
        if (begin == 0 || address < begin || address >= end) continue;
        const std::uintptr_t page = address & ~(pageSize - 1);
        void* zeros = ::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros == MAP_FAILED) break;
        region.lost.store(true, std::memory_order_release);
        return;
    }
    PassOn(signal, info, context);
}

void InstallGuard() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previousAction);
}

int TakeRegion() {
    for (int i = 0; i < kRegions; ++i) {
        bool free = false;
        if (regions[i].used.compare_exchange_strong(free, true)) return i;
    }
    return -1;
}

void ReleaseRegion(int index) {
    Region& region = regions[index];
    region.begin.store(0, std::memory_order_release);
    region.end.store(0, std::memory_order_release);
    region.lost.store(false);
    region.ofFile = false;
    region.used.store(false);
}

// Brings every page in with one call, read-only until it is written (a
// write copies that page alone). A kernel without the call (before 5.14)
// brings them in as they are touched. False when the file ended first.
bool Populate(void* base, std::size_t length) {
    while (::madvise(base, length, MADV_POPULATE_READ) != 0) {
        if (errno == EINTR) continue;
        return errno == EINVAL;
    }
    return true;
}

}  // namespace

FileMapping::~FileMapping() {
    if (base_ == nullptr) return;
    ReleaseRegion(slot_);
    ::munmap(base_, Span(length_));
}

void FileMapping::swap(FileMapping& other) noexcept {
    std::swap(base_, other.base_);
    std::swap(length_, other.length_);
    std::swap(slot_, other.slot_);
}

bool FileMapping::Map(int fd, std::size_t length) {
    if (base_ != nullptr || length == 0) return false;
    InstallGuard();
    const int slot = TakeRegion();
    if (slot < 0) return false;
    void* base = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
    if (base == MAP_FAILED) {
        ReleaseRegion(slot);
        return false;
    }
    Region& region = regions[slot];
    region.end.store(reinterpret_cast<std::uintptr_t>(base) + Span(length), std::memory_order_release);
    region.begin.store(reinterpret_cast<std::uintptr_t>(base), std::memory_order_release);

    // The file must still hold every mapped byte once the mapping is made;
    // one that shrinks later is the guard's.
    struct stat info {};
    if (!Populate(base, length) || ::fstat(fd, &info) != 0 || info.st_size < 0 ||
        static_cast<std::uint64_t>(info.st_size) < length || region.lost.load()) {
        ReleaseRegion(slot);
        ::munmap(base, Span(length));
        return false;
    }
    region.device = info.st_dev;
    region.inode = info.st_ino;
    region.ofFile = true;
    base_ = base;
    length_ = length;
    slot_ = slot;
    return true;
}

bool FileMapping::Lost() const { return base_ != nullptr && regions[slot_].lost.load(std::memory_order_acquire); }

void DetachMappings(dev_t device, ino_t inode) {
    for (Region& region : regions) {
        if (!region.used.load() || !region.ofFile || region.device != device || region.inode != inode) continue;
        const std::uintptr_t begin = region.begin.load();
        const std::size_t span = region.end.load() - begin;
        void* copy = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (copy != MAP_FAILED) {
            std::memcpy(copy, reinterpret_cast<const void*>(begin), span);
            // The copy's pages take the mapping's place at its addresses.
            if (::mremap(copy, span, span, MREMAP_MAYMOVE | MREMAP_FIXED, reinterpret_cast<void*>(begin)) !=
                MAP_FAILED) {
                region.ofFile = false;
                continue;
            }
            ::munmap(copy, span);
        }
        // Without memory for a copy the pages go with the file's contents.
        region.lost.store(true);
    }
}

}  // namespace paneloom::platform::lnx
