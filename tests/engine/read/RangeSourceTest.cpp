// A piece of a file, cut at any byte offsets: each line must land in exactly
// the piece in which it begins.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>

#include "ReferenceRules.h"
#include "TempDir.h"
#include "engine/read/RangeSource.h"

namespace tallowby {
namespace {

// A file in memory that hands out at most `chunk` bytes per read.
class MemoryFile final : public PositionalFile {
public:
    MemoryFile(std::string text, std::size_t chunk) : text_(std::move(text)), chunk_(chunk) {}
    std::ptrdiff_t readAt(char* buffer, std::size_t capacity, std::uint64_t offset) override {
        if (offset >= text_.size()) {
            return 0;
        }
        const std::size_t n = std::min({capacity, chunk_, text_.size() - offset});
        text_.copy(buffer, n, offset);
        return static_cast<std::ptrdiff_t>(n);
    }
    std::string error() const override { return "no error"; }

private:
    std::string text_;
    std::size_t chunk_;
};

std::string ReadAll(ByteSource& source) {
    std::string out;
    char buffer[3];
    for (std::ptrdiff_t n; (n = source.read(buffer, sizeof buffer)) > 0;) {
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

TEST(RangeSource, HoldsTheLinesThatBeginInTheRange) {
    const char* const texts[] = {
        "",         "abc",      "a\nb\n",        "a\r\nbc\r\n", "a\rb\r", "\r\n\r\n",
        "\n\n\r\r", "a\r\r\nb", "ab\rc\r\nd\ne", "x\r",         "\r\nab", "long line\nz",
    };
    for (const std::string text : texts) {
        const std::vector<std::size_t> starts = testing::LineStarts(text);
        for (std::size_t start = 0; start <= text.size() + 1; ++start) {
            for (std::size_t end = start; end <= text.size() + 1; ++end) {
                std::string expected;
                for (std::size_t k = 0; k < starts.size(); ++k) {
                    if (starts[k] >= start && starts[k] < end) {
                        const std::size_t next =
                            k + 1 < starts.size() ? starts[k + 1] : text.size();
                        expected += text.substr(starts[k], next - starts[k]);
                    }
                }
                for (const std::size_t chunk : {1u, 4096u}) {
                    auto source =
                        RangeSource(std::make_unique<MemoryFile>(text, chunk), start, end);
                    EXPECT_EQ(ReadAll(*source), expected)
                        << ::testing::PrintToString(text) << " [" << start << ", " << end << ")";
                }
            }
        }
    }
}

// A log its writer extends after the open: a piece running to the end
// stops at the size the file had when opened.
TEST(RangeSource, ReadsAFileToTheSizeItHadWhenOpened) {
    testing::TempDir dir;
    const std::string path = dir.write("growing.log", "a\nb\n");
    std::string error;
    std::unique_ptr<PositionalFile> file = OpenPositionalFile(path, error);
    ASSERT_NE(file, nullptr) << error;
    std::ofstream(path, std::ios::binary | std::ios::app) << "c\n";
    auto source = RangeSource(std::move(file), 1, UINT64_MAX);
    EXPECT_EQ(ReadAll(*source), "b\n");
}

}  // namespace
}  // namespace tallowby
