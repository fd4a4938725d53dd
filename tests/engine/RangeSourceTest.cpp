// A piece of a file, cut at any byte offsets: each line must land in exactly
// the piece in which it begins.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "engine/RangeSource.h"

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

// The offsets at which lines begin, by walking the bytes once: after LF,
// after a CR not followed by LF, and after CR LF.
std::vector<std::size_t> LineStarts(const std::string& t) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (i == 0) {
            starts.push_back(0);
        }
        const bool ends = t[i] == '\n' || (t[i] == '\r' && (i + 1 == t.size() || t[i + 1] != '\n'));
        if (ends && i + 1 < t.size()) {
            starts.push_back(i + 1);
        }
    }
    return starts;
}

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
        const std::vector<std::size_t> starts = LineStarts(text);
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
                        << testing::PrintToString(text) << " [" << start << ", " << end << ")";
                }
            }
        }
    }
}

// A log its writer extends after the open: a piece running to the end
// stops at the size the file had when opened.
TEST(RangeSource, ReadsAFileToTheSizeItHadWhenOpened) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("tallowby-range-growing-" + std::to_string(::getpid()) + ".log");
    std::ofstream(path, std::ios::binary) << "a\nb\n";
    std::string error;
    std::unique_ptr<PositionalFile> file = OpenPositionalFile(path.string(), error);
    ASSERT_NE(file, nullptr) << error;
    std::ofstream(path, std::ios::binary | std::ios::app) << "c\n";
    auto source = RangeSource(std::move(file), 1, UINT64_MAX);
    EXPECT_EQ(ReadAll(*source), "b\n");
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace tallowby
