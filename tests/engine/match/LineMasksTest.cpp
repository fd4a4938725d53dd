// The one-pass scan of a line or a stretch of lines against a plain loop
// over its bytes, in each step width the engine has (the 32-byte one where
// the processor has AVX2), on lengths around the steps' edges, in memory
// that ends where the bytes the scan may read do.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "ProcessorSteps.h"
#include "engine/match/LineMasks.h"

namespace tallowby {
namespace {

bool Bit(const std::uint64_t* mask, std::size_t i) {
    return (mask[i / 64] >> (i % 64)) & 1;
}

unsigned char Fold(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
}

// The own domain "mysite.example": its first byte and its "x".
LineMasks::Needle MySite() {
    LineMasks::Needle needle;
    needle.first = {'m', 0x20};
    needle.other = {'x', 0x20};
    needle.otherAt = 8;
    return needle;
}

class LineMaskSteps : public ::testing::TestWithParam<LineMasks::Steps> {
protected:
    void SetUp() override {
        if (GetParam() == LineMasks::Steps::Wide && !testing::ProcessorHasAvx2()) {
            GTEST_SKIP() << "this processor has no AVX2: the 32-byte steps cannot run here";
        }
    }
};

INSTANTIATE_TEST_SUITE_P(EveryWidth, LineMaskSteps,
                         ::testing::Values(LineMasks::Steps::Narrow, LineMasks::Steps::Wide),
                         [](const auto& info) {
                             return info.param == LineMasks::Steps::Wide ? "Wide" : "Narrow";
                         });

TEST_P(LineMaskSteps, MarkWhatAPlainLoopMarks) {
    const char alphabet[] = "hHtTp:/.)( ax.X\"\0\xff";
    std::mt19937 random(7);
    const LineMasks::Needle needle = MySite();
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
        LineMasks m;
        m.scan(view, needle, https, n + after, GetParam());
        ASSERT_EQ(m.words(), (n + 63) / 64);
        for (std::size_t i = 0; i < m.words() * 64; ++i) {
            const bool in = i < n;
            const unsigned char c = at(i);
            const bool letterNext = (Fold(at(i + 1)) >= 'a' && Fold(at(i + 1)) <= 'z');
            const bool same =
                Bit(m.masks.scheme, i) ==
                    (in && Fold(c) == 'h' && (at(i + 4) == ':' || (https && at(i + 5) == ':'))) &&
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

// A stretch of lines has a mark at each CR and each LF and none past its
// limit: a line end of each kind at every offset of two steps (a CR LF so
// also across a step's edge), the stretch cut at lengths that are no
// multiple of a step, with more bytes readable after it or none.
TEST_P(LineMaskSteps, StretchMarksEveryLineEndAtEveryOffset) {
    const auto masks = std::make_unique<BlockMasks>();
    for (const std::string end : {"\r", "\n", "\r\n"}) {
        for (std::size_t at = 0; at < 64; ++at) {
            const std::string text =
                std::string(at, 'a') + end + "b" + end + std::string(70, 'c') + "\r\n";
            const std::size_t e = end.size();
            for (const std::size_t limit :
                 {at + 1, at + e + 1, at + 2 * e + 1, at + 33, text.size() - 1}) {
                for (const std::size_t readable : {limit, text.size()}) {
                    const std::unique_ptr<char[]> exact(new char[readable]);
                    std::memcpy(exact.get(), text.data(), readable);
                    masks->scan(exact.get(), limit, readable, MySite(), false, GetParam());
                    for (std::size_t i = 0; i < (limit + 63) / 64 * 64; ++i) {
                        const bool lineEnd = i < limit && (text[i] == '\r' || text[i] == '\n');
                        ASSERT_EQ(Bit(masks->masks.ends, i), lineEnd)
                            << "byte " << i << " of " << limit << " (" << readable
                            << " readable), line end " << e << " byte(s) at " << at;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace tallowby
