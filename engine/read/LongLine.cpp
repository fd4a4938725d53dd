#include "LongLine.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

#include "LineEnds.h"

namespace tallowby {

namespace {

constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();

std::size_t Plus(std::size_t a, std::size_t b) {
    return a > kNoLimit - b ? kNoLimit : a + b;
}

// True when the `n` bytes at `p` are all zero. The comparison with a block
// of zeros stops at the first other byte, so text costs next to nothing.
bool AllZeros(const char* p, std::size_t n) {
    static const char zeros[4096] = {};
    while (n > sizeof zeros) {
        if (std::memcmp(p, zeros, sizeof zeros) != 0) {
            return false;
        }
        p += sizeof zeros;
        n -= sizeof zeros;
    }
    return std::memcmp(p, zeros, n) == 0;
}

// How many of the `n` bytes at `p` are zeros after the last other byte.
std::size_t ZeroTail(const char* p, std::size_t n) {
    constexpr std::size_t kStep = 4096;
    std::size_t end = n;
    while (end >= kStep && AllZeros(p + end - kStep, kStep)) {
        end -= kStep;
    }
    while (end > 0 && p[end - 1] == '\0') {
        --end;
    }
    return n - end;
}

}  // namespace

std::string LineTooLongText(std::size_t maxLine) {
    return "Line longer than " + std::to_string(maxLine) + " bytes";
}

GrowingMemory::GrowingMemory(GrowingMemory&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), capacity_(std::exchange(other.capacity_, 0)) {}

GrowingMemory& GrowingMemory::operator=(GrowingMemory&& other) noexcept {
    if (this != &other) {
        reset();
        data_ = std::exchange(other.data_, nullptr);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

bool GrowingMemory::reserve(std::size_t bytes) {
    if (bytes <= capacity_) {
        return true;
    }
    static const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    if (bytes > kNoLimit - page) {
        return false;
    }
    const std::size_t size = (bytes + page - 1) / page * page;
    void* const p =
        data_ ? ::mremap(data_, capacity_, size, MREMAP_MAYMOVE)
              : ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        return false;
    }
    // Large pages where the system offers them: a line of many megabytes
    // then costs a fault per 2 MB written, not one per 4 KB.
    ::madvise(p, size, MADV_HUGEPAGE);
    data_ = static_cast<char*>(p);
    capacity_ = size;
    return true;
}

void GrowingMemory::reset() {
    if (data_) {
        ::munmap(data_, capacity_);
    }
    data_ = nullptr;
    capacity_ = 0;
}

LongLine::LongLine(std::size_t block, std::size_t maxLine)
    : block_(std::max<std::size_t>(block, 1)), maxLine_(maxLine) {}

bool LongLine::begin(std::string_view first, std::uint64_t position) {
    clear();
    // Zeros at the end (the start of a hole, say) are counted, not copied.
    const std::size_t zeros = ZeroTail(first.data(), first.size());
    const std::size_t kept = first.size() - zeros;
    // The reads that follow land where the kernel copies fastest (ReadPlace):
    // memory starts on a page, so the place within a cache line is known now.
    offset_ = static_cast<std::size_t>((position - kept) % (kReadSlack + 1));
    if (!room(Plus(kept, block_))) {
        return false;
    }
    std::memcpy(memory_.data() + offset_, first.data(), kept);
    held_ = kept;
    zeros_ = zeros;
    active_ = true;
    return true;
}

bool LongLine::room(std::size_t bytes) {
    const std::size_t have = memory_.capacity() > offset_ ? memory_.capacity() - offset_ : 0;
    if (bytes <= have) {
        return true;
    }
    // Doubling, so that the line moves a few times only; never past the
    // limit and a block (and the room for a read's place).
    const std::size_t ceiling = Plus(Plus(maxLine_, block_), 2 * kReadSlack);
    const std::size_t grown = std::max(bytes, std::min(Plus(have, have), ceiling));
    return memory_.reserve(Plus(offset_, grown));
}

bool LongLine::closedByCr() const {
    return zeros_ == 0 && held_ > 0 && data()[held_ - 1] == kCr;
}

std::uint64_t LongLine::length() const {
    return size() - (closedByCr() ? 1 : 0);
}

LongLine::Step LongLine::step(ByteSource& source, bool inPlace) {
    Step s;
    if (length() > maxLine_) {
        s.kind = Step::TooLong;
        return s;
    }
    // After a closing CR any byte starts the next line: nothing is counted.
    const bool counting = !closedByCr();
    if (counting) {
        // A hole: passed over up to where the line would pass the limit.
        const std::uint64_t left = maxLine_ - length();
        s.consumed = source.skipZeros(left == UINT64_MAX ? left : left + 1);
        zeros_ += s.consumed;
        if (length() > maxLine_) {
            s.kind = Step::TooLong;
            return s;
        }
    }
    const char* at = nullptr;
    std::ptrdiff_t n = 0;
    if (inPlace) {
        n = source.take(at, block_);
    } else if (room(Plus(held_, block_))) {
        char* const into = memory_.data() + offset_ + held_;
        at = into;
        n = source.read(into, block_);
    } else {
        s.kind = Step::NoMemory;
        return s;
    }
    if (n <= 0) {
        s.kind = n == 0 ? Step::End : Step::Failed;
        return s;
    }
    const auto got = static_cast<std::size_t>(n);
    s.consumed += got;
    if (counting && AllZeros(at, got)) {
        zeros_ += got;
        s.inPlace = inPlace ? at : nullptr;
        s.got = got;
        return s;
    }
    // Another byte: the zeros before it are written out, then the stretch.
    const std::size_t before = held_;
    if (zeros_ > std::numeric_limits<std::size_t>::max() - got - held_ ||
        !room(held_ + static_cast<std::size_t>(zeros_) + got)) {
        s.kind = Step::NoMemory;
        return s;
    }
    char* const line = memory_.data() + offset_;
    const auto zeros = static_cast<std::size_t>(zeros_);
    if (inPlace) {
        std::memcpy(line + before + zeros, at, got);
        s.inPlace = at;
    } else if (zeros > 0) {
        std::memmove(line + before + zeros, line + before,
                     got);  // read there; room() may have moved it
    }
    std::memset(line + before, 0, zeros);
    held_ = before + zeros + got;
    zeros_ = 0;
    s.kind = Step::Bytes;
    s.from = before + zeros;
    s.got = got;
    return s;
}

bool LongLine::settle() {
    if (zeros_ == 0) {
        return true;
    }
    if (zeros_ > std::numeric_limits<std::size_t>::max() - held_ ||
        !room(held_ + static_cast<std::size_t>(zeros_))) {
        return false;
    }
    std::memset(memory_.data() + offset_ + held_, 0, static_cast<std::size_t>(zeros_));
    held_ += static_cast<std::size_t>(zeros_);
    zeros_ = 0;
    return true;
}

void LongLine::truncate(std::uint64_t bytes) {
    if (bytes <= held_) {
        held_ = static_cast<std::size_t>(bytes);
        zeros_ = 0;
    } else if (bytes < size()) {
        zeros_ = bytes - held_;
    }
}

GrowingMemory LongLine::handOver() {
    active_ = false;
    held_ = 0;
    zeros_ = 0;
    return std::move(memory_);
}

void LongLine::clear() {
    active_ = false;
    held_ = 0;
    zeros_ = 0;
    memory_.reset();
}

}  // namespace tallowby
