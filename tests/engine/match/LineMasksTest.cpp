// The one-pass scan of a line against a plain loop over its bytes, in both
// step widths, on lines of every length around the steps' edges that end
// where their memory does.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "engine/match/LineMasks.h"

namespace tallowby {
namespace {

bool Bit(const std::uint64_t* mask, std::size_t i) {
    return (mask[i / 64] >> (i % 64)) & 1;
}

unsigned char Fold(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
}

TEST(LineMasks, BothWidthsMarkWhatAPlainLoopMarks) {
    const char alphabet[] = "hHtTp:/.)( ax.X\"\0\xff";
    std::mt19937 random(7);
    // The own domain "mysite.example": its first byte and its "x".
    LineMasks::Needle needle;
    needle.first = {'m', 0x20};
    needle.other = {'x', 0x20};
    needle.otherAt = 8;
    for (int round = 0; round < 1000; ++round) {
        const std::size_t n = round < 300 ? static_cast<std::size_t>(round) : random() % 400;
        std::string line(n, ' ');
        for (char& c : line) {
            c = alphabet[random() % (sizeof alphabet - 1)];
        }
        // Every other line is followed by bytes the scan may read.
        const std::size_t after = round % 4 < 2 ? 0 : random() % 80;
        const std::unique_ptr<char[]> exact(new char[n + after + 1]);
        std::memcpy(exact.get() + 1, line.data(), n);
        for (std::size_t i = 0; i < after; ++i) {
            exact[1 + n + i] = alphabet[random() % (sizeof alphabet - 1)];
        }
        const std::string_view view(exact.get() + 1, n);
        const bool https = round % 2 == 1;
        // What the tests see: the line, the bytes after it that may be read, then zeros.
        auto at = [&](std::size_t i) {
            return i < n + after ? static_cast<unsigned char>(exact[1 + i]) : 0;
        };
        for (auto steps : {LineMasks::Steps::Narrow, LineMasks::Steps::Wide}) {
            if (steps == LineMasks::Steps::Wide && !LineMasks::WideAvailable()) {
                continue;
            }
            LineMasks m;
            m.scan(view, needle, https, n + after, steps);
            ASSERT_EQ(m.words(), (n + 63) / 64);
            for (std::size_t i = 0; i < m.words() * 64; ++i) {
                const bool in = i < n;
                const unsigned char c = at(i);
                const bool letterNext = (Fold(at(i + 1)) >= 'a' && Fold(at(i + 1)) <= 'z');
                const bool same =
                    Bit(m.masks.scheme, i) == (in && Fold(c) == 'h' &&
                                               (at(i + 4) == ':' || (https && at(i + 5) == ':'))) &&
                    Bit(m.masks.domain, i) == (in && Fold(c) == 'm' && Fold(at(i + 8)) == 'x') &&
                    Bit(m.masks.dot, i) == (in && c == '.' && letterNext) &&
                    Bit(m.masks.close, i) == (in && c == ')') &&
                    Bit(m.masks.open, i) == (in && c == '(') &&
                    Bit(m.masks.space, i) == (in && c == ' ');
                ASSERT_TRUE(same) << line << " at " << i << " of " << n << ", " << after
                                  << " more readable" << (https ? " [https]" : "");
            }
        }
    }
}

}  // namespace
}  // namespace tallowby
