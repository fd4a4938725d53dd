#include "Numbers.h"

#include <algorithm>
#include <charconv>

namespace tallowby {

void AppendNumber(std::string& out, std::int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

std::string_view CountDigits(std::int64_t count, CountBuffer& buffer) {
    char digits[24];
    const char* end = std::to_chars(digits, digits + sizeof digits, count).ptr;
    const auto length = static_cast<std::size_t>(end - digits);
    const std::size_t zeros = count >= 0 && length < 7 ? 7 - length : 0;
    std::fill_n(buffer.data(), zeros, '0');
    std::copy(static_cast<const char*>(digits), end, buffer.data() + zeros);
    return std::string_view(buffer.data(), zeros + length);
}

std::string CountDigits(std::int64_t count) {
    CountBuffer buffer;
    return std::string(CountDigits(count, buffer));
}

}  // namespace tallowby
