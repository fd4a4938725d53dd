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
// step's edge and across the range's start; then a run of ends long enough
// for the per-lane sums to be added up more than once.
TEST_P(LineEndSteps, CountEveryEndAtEveryOffset) {
    std::string run;
    while (run.size() < 9000) {
        run += "\r\r\n\n";  // an end in three of every four bytes
    }
    for (const std::string end : {"\r", "\n", "\r\n"}) {
        for (std::size_t at = 1; at <= 64; ++at) {
            const std::string text = std::string(at, 'a') + end + "b" + end + run + "c";
            for (const std::size_t from : {std::size_t{1}, at - at / 2, at, at + 1, at + 2}) {
                for (const std::size_t to : {from, at + 1, at + 40, text.size() - 2, text.size()}) {
                    if (to < from) {
                        continue;
                    }
                    const bool previousCr = text[from - 1] == '\r';
                    const std::int64_t expected = EndsBefore(text, to) - EndsBefore(text, from);
                    ASSERT_EQ(Count(text, from, to, previousCr), expected)
                        << "[" << from << ", " << to << "), line end " << end.size()
                        << " byte(s) at " << at;
                    // Told that no CR came before, an LF first in the range is an end.
                    const bool lone = previousCr && to > from && text[from] == '\n';
                    ASSERT_EQ(Count(text, from, to, false), expected + lone);
                }
            }
        }
    }
}

}  // namespace
}  // namespace tallowby
