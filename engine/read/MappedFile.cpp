#include "MappedFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <limits>
#include <mutex>

namespace tallowby {

namespace {

// The mappings the SIGBUS handler looks after. The handler may run on any
// thread at any moment, so the table is fixed in size and read with atomics
// only; a file that finds no free entry is read instead of mapped.
struct Watched {
    std::atomic<std::uintptr_t> begin{0};  // 0: free
    std::atomic<std::uintptr_t> end{0};
    std::atomic<std::uintptr_t> zerosFrom{0};  // the lowest page mapped to zeros; 0: none
    std::atomic<bool> taken{false};
};
constexpr int kWatched = 64;
Watched gWatched[kWatched];
std::uintptr_t gPageSize = 4096;
struct sigaction gPrevious {};

void OnSigbus(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Watched& w : gWatched) {
        const std::uintptr_t begin = w.begin.load(std::memory_order_acquire);
        const std::uintptr_t end = w.end.load(std::memory_order_relaxed);
        if (begin == 0 || address < begin || address >= end) {
            continue;
        }
        // Zeros from the missing page to the end of the mapping; the read
        // that faulted is made again and finds them.
        const std::uintptr_t page = address & ~(gPageSize - 1);
        void* zeros = ::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros != MAP_FAILED) {
            std::uintptr_t lowest = w.zerosFrom.load(std::memory_order_relaxed);
            while ((lowest == 0 || page < lowest) &&
                   !w.zerosFrom.compare_exchange_weak(lowest, page, std::memory_order_release)) {
            }
            return;
        }
        break;
    }
    // Not a mapping of ours (or no zeros to be had): as it would have gone.
    if (gPrevious.sa_flags & SA_SIGINFO) {
        gPrevious.sa_sigaction(signal, info, context);
    } else if (gPrevious.sa_handler != SIG_DFL && gPrevious.sa_handler != SIG_IGN) {
        gPrevious.sa_handler(signal);
    } else {
        // The default action, taken when the faulting read is made again.
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        sigemptyset(&byDefault.sa_mask);
        ::sigaction(SIGBUS, &byDefault, nullptr);
    }
}

bool InstallHandler() {
    gPageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = OnSigbus;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGBUS, &action, &gPrevious) == 0;
}

int TakeSlot() {
    for (int i = 0; i < kWatched; ++i) {
        bool expected = false;
        if (gWatched[i].taken.compare_exchange_strong(expected, true)) {
            return i;
        }
    }
    return -1;
}

}  // namespace

std::unique_ptr<MappedFile> MappedFile::Map(int fd, std::uint64_t size) {
    static const bool handled = InstallHandler();
    if (!handled || size == 0 || size > std::numeric_limits<std::size_t>::max() / 2) {
        return nullptr;
    }
    const int slot = TakeSlot();
    if (slot < 0) {
        return nullptr;
    }
    const auto bytes = static_cast<std::size_t>(size);
    const std::size_t mapped = (bytes + gPageSize - 1) & ~(gPageSize - 1);
    void* p = ::mmap(nullptr, mapped, PROT_READ, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED) {
        gWatched[slot].taken.store(false);
        return nullptr;
    }
    // Read ahead of the reader, and pages read once are the first to go.
    ::madvise(p, mapped, MADV_SEQUENTIAL);
    Watched& w = gWatched[slot];
    w.zerosFrom.store(0, std::memory_order_relaxed);
    w.end.store(reinterpret_cast<std::uintptr_t>(p) + mapped, std::memory_order_relaxed);
    w.begin.store(reinterpret_cast<std::uintptr_t>(p), std::memory_order_release);
    return std::unique_ptr<MappedFile>(new MappedFile(static_cast<char*>(p), bytes, mapped, slot));
}

MappedFile::~MappedFile() {
    Watched& w = gWatched[slot_];
    w.begin.store(0, std::memory_order_release);
    ::munmap(data_, mappedSize_);
    w.taken.store(false, std::memory_order_release);
}

void MappedFile::release(const char* upTo) {
    const auto step = static_cast<std::uintptr_t>(kReleaseStep);
    const std::uintptr_t until = reinterpret_cast<std::uintptr_t>(upTo) & ~(step - 1);
    const auto from = reinterpret_cast<std::uintptr_t>(released_);
    if (until <= from) {
        return;
    }
    // From a page boundary: the first step may start inside a page.
    const std::uintptr_t start = (from + gPageSize - 1) & ~(gPageSize - 1);
    if (until > start) {
        ::madvise(reinterpret_cast<void*>(start), until - start, MADV_DONTNEED);
    }
    released_ = reinterpret_cast<const char*>(until);
}

std::size_t MappedFile::zerosFrom() const {
    const std::uintptr_t page = gWatched[slot_].zerosFrom.load(std::memory_order_acquire);
    return page == 0 ? kWhole
                     : static_cast<std::size_t>(page - reinterpret_cast<std::uintptr_t>(data_));
}

}  // namespace tallowby
