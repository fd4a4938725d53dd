#pragma once

// What every fuzz target shares: a property check that stops the run with the
// failing condition (libFuzzer then keeps the input; the replay runner saves
// it), and a reader that takes parameters from the front of an input. The
// plain reference rules come from tests/support.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tallowby::fuzz {

// Prints the failed condition and aborts.
[[noreturn]] void Fail(const char* condition, const char* file, int line);

// Called by Fail before it aborts; the replay runner sets it to save the input.
using FailureHook = void (*)();
void SetFailureHook(FailureHook hook);

// Parameters first, then the rest of the input as the subject. Reading past
// the end gives zeros and empty views, so every input is a valid one.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size)
        : data_(reinterpret_cast<const char*>(data)), size_(size) {}

    std::uint8_t byte() { return pos_ < size_ ? static_cast<std::uint8_t>(data_[pos_++]) : 0; }
    // Up to `n` bytes.
    std::string_view take(std::size_t n) {
        std::size_t k = n < size_ - pos_ ? n : size_ - pos_;
        std::string_view s(data_ + pos_, k);
        pos_ += k;
        return s;
    }
    // A piece whose length (0..limit) is given by the next byte.
    std::string_view piece(std::size_t limit) { return take(byte() % (limit + 1)); }
    std::string_view rest() { return take(size_ - pos_); }
    bool empty() const { return pos_ >= size_; }

private:
    const char* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace tallowby::fuzz

#define FUZZ_CHECK(condition)                                       \
    do {                                                            \
        if (!(condition)) {                                         \
            ::tallowby::fuzz::Fail(#condition, __FILE__, __LINE__); \
        }                                                           \
    } while (0)
