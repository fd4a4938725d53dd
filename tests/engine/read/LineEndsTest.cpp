// The count of line ends in each step width the engine has (the 32-byte one
// where the processor has AVX2), against the plain line splitting.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ProcessorSteps.h"
#include "ReferenceRules.h"
#include "engine/read/LineEnds.h"

namespace tallowby {
namespace {

// The line ends in `text` whose first byte (the CR of a CR LF) stands before `p`.
std::int64_t EndsBefore(const std::string& text, std::size_t p) {
    const bool unfinished = p > 0 && text[p - 1] != '\r' && text[p - 1] != '\n';
    return testing::CountLines(text.substr(0, p)) - unfinished;
}

class LineEndSteps : public ::testing::TestWithParam<CountSteps> {
protected:
    void SetUp() override {
        if (GetParam() == CountSteps::Wide && !testing::ProcessorHasAvx2()) {
            GTEST_SKIP() << "this processor has no AVX2: the 32-byte steps cannot run here";
        }
    }
    // The ends in [from, to) of `text` as CountLineEnds counts them, told
    // whether the byte before `from` was a CR.
    std::int64_t Count(const std::string& text, std::size_t from, std::size_t to,
                       bool previousCr) const {
        return CountLineEnds(text.data() + from, text.data() + to, previousCr, GetParam());
    }
};

INSTANTIATE_TEST_SUITE_P(EveryWidth, LineEndSteps,
                         ::testing::Values(CountSteps::Plain, CountSteps::Narrow, CountSteps::Wide),
                         [](const auto& info) {
                             return info.param == CountSteps::Plain    ? "Plain"
                                    : info.param == CountSteps::Narrow ? "Narrow"
                                                                       : "Wide";
                         });

// A line end of each kind at every offset of two steps, counted over ranges
// that start before it, on it or between its CR and LF, and end at lengths
// that are no multiple of a step, so that a CR LF also falls across a
// step's edge and across the range's start.
TEST_P(LineEndSteps, CountEveryEndAtEveryOffset) {
    for (const std::string end : {"\r", "\n", "\r\n"}) {
        for (std::size_t at = 1; at <= 64; ++at) {
            const std::string text =
                std::string(at, 'a') + end + "b" + end + std::string(70, 'c') + "\r";
            for (const std::size_t from : {std::size_t{1}, at - at / 2, at, at + 1, at + 2}) {
                for (const std::size_t to : {from, at + 1, at + 40, text.size() - 1, text.size()}) {
                    if (to < from) {
                        continue;
                    }
                    EXPECT_EQ(Count(text, from, to, text[from - 1] == '\r'),
                              EndsBefore(text, to) - EndsBefore(text, from))
                        << "[" << from << ", " << to << ") of " << text.size() << ", line end "
                        << end.size() << " byte(s) at " << at;
                }
            }
        }
    }
}

// Runs long enough for the per-lane sums to be added up more than once,
// from several alignments.
TEST_P(LineEndSteps, LongRunsCountEveryEnd) {
    std::string text;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245 + 12345;
        const unsigned pick = (seed >> 16) % 8;
        text += pick == 0 ? '\r' : pick == 1 ? '\n' : pick == 2 ? '\0' : 'x';
    }
    for (std::size_t from : {1, 2, 15, 16, 17, 31, 32, 33, 100}) {
        for (std::size_t size : {0, 1, 15, 16, 31, 32, 33, 64, 8191, 8192, 8193, 19000}) {
            const bool previousCr = text[from - 1] == '\r';
            const std::int64_t expected = EndsBefore(text, from + size) - EndsBefore(text, from);
            EXPECT_EQ(Count(text, from, from + size, previousCr), expected)
                << "from " << from << ", size " << size;
            // Told that no CR came before, an LF first in the range is an end.
            const std::int64_t lone = text[from] == '\n' && previousCr && size > 0;
            EXPECT_EQ(Count(text, from, from + size, false), expected + lone);
        }
    }
}

}  // namespace
}  // namespace tallowby
