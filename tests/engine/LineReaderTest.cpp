#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "MemoryFileSystem.h"
#include "engine/ChunkedLines.h"
#include "engine/LineReader.h"

namespace tallowby {
namespace {

using testing::StringSource;

std::vector<std::string> ReadAll(LineReader& reader) {
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.next(line))
        lines.emplace_back(line);
    return lines;
}

struct Case {
    std::string input;
    std::vector<std::string> lines;
};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r", {"a"}},
        {"a\n\n", {"a", ""}},
        {"a\r\r\n", {"a", ""}},
        {"\r\n", {""}},
        {"\n\r", {"", ""}},
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"a\n\rb", {"a", "", "b"}},
        {"one\r\ntwo\r\nthree\r\n", {"one", "two", "three"}},
        {"one\ntwo\nthree", {"one", "two", "three"}},
        {std::string(5000, 'x') + "\r\n" + "y", {std::string(5000, 'x'), "y"}},
        {std::string("nul\0byte\nz", 10), {std::string("nul\0byte", 8), "z"}},
    };
    return cases;
}

TEST(LineReader, SplitsAtCrLfAndCrLfPairsOnEveryReadPath) {
    for (const Case& c : Cases()) {
        for (std::size_t block : {1, 2, 3, 4, 5, 6, 7, 64, 1 << 20}) {
            for (std::size_t chunk : {1, 2, 3, 7, 1 << 20}) {
                const auto source = StringSource(c.input, chunk);
                LineReader reader(*source, block);
                EXPECT_EQ(ReadAll(reader), c.lines) << "input " << ::testing::PrintToString(c.input)
                                                    << " block " << block << " chunk " << chunk;
                EXPECT_TRUE(reader.atEnd());
                EXPECT_FALSE(reader.failed());
                EXPECT_EQ(reader.bytesRead(), c.input.size());
            }
        }
    }
}

TEST(LineReader, ReadsBytesInMemoryAsItReadsAStream) {
    for (const Case& c : Cases()) {
        LineReader reader(std::string_view(c.input));
        EXPECT_EQ(ReadAll(reader), c.lines) << ::testing::PrintToString(c.input);
        EXPECT_FALSE(reader.failed());
    }
}

// Cutting the input anywhere and reading the whole lines of the first
// piece apart from everything after them gives the lines of the whole.
TEST(LineReader, WholeLinesCanBeReadApartFromWhatFollows) {
    for (const Case& c : Cases()) {
        for (std::size_t cut = 0; cut <= c.input.size(); ++cut) {
            const std::size_t whole =
                LineReader::WholeLines(std::string_view(c.input).substr(0, cut));
            ASSERT_LE(whole, cut);
            LineReader first(std::string_view(c.input).substr(0, whole));
            LineReader rest(std::string_view(c.input).substr(whole));
            std::vector<std::string> lines = ReadAll(first);
            for (std::string& line : ReadAll(rest))
                lines.push_back(std::move(line));
            EXPECT_EQ(lines, c.lines) << ::testing::PrintToString(c.input) << " cut " << cut;
        }
    }
    const std::pair<std::string, std::size_t> kept[] = {
        {"", 0}, {"abc", 0}, {"a\r", 0}, {"a\rb", 2}, {"a\r\n", 3}, {"a\nb\r", 2}, {"a\r\r", 2},
    };
    for (const auto& [input, whole] : kept) {
        EXPECT_EQ(LineReader::WholeLines(input), whole) << ::testing::PrintToString(input);
    }
}

TEST(LineReader, AtEndIsFalseWhileALineRemainsAndTrueAfterTheLast) {
    const auto source = StringSource("a\r\nb\r", 1);
    LineReader reader(*source, 1);
    std::string_view line;
    EXPECT_FALSE(reader.atEnd());
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, "a");
    EXPECT_FALSE(reader.atEnd());
    ASSERT_TRUE(reader.next(line));
    EXPECT_EQ(line, "b");
    EXPECT_TRUE(reader.atEnd());
    EXPECT_FALSE(reader.next(line));
}

TEST(LineReader, ReadErrorKeepsCompleteLinesAndReportsFailure) {
    for (std::size_t block : {1, 3, 1 << 20}) {
        const auto source = StringSource("first\nsecond\nthird\n", 2, 9);  // fails inside "second"
        LineReader reader(*source, block);
        EXPECT_EQ(ReadAll(reader), std::vector<std::string>{"first"});
        EXPECT_TRUE(reader.failed());
        EXPECT_TRUE(reader.atEnd());
        EXPECT_EQ(reader.error(), "Input/output error");
    }
}

TEST(LineReader, ReturnsAVeryLongLineWhole) {
    std::string longLine(3 << 20, 'q');
    const auto source = StringSource(longLine + "\nend", 1 << 16);
    LineReader reader(*source, 4096);
    auto lines = ReadAll(reader);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), longLine.size());
    EXPECT_EQ(lines[1], "end");
}

// A source that notes, for each read, how far the target's place in a cache
// line is from that of the stream position.
class PlaceNotingSource final : public ByteSource {
public:
    PlaceNotingSource(std::string text, std::size_t maxRead)
        : text_(std::move(text)), max_(maxRead) {}
    std::ptrdiff_t read(char* buffer, std::size_t capacity) override {
        const std::size_t n = std::min({capacity, max_, text_.size() - at_});
        if (n > 0) {
            misplaced_ += (reinterpret_cast<std::uintptr_t>(buffer) - at_) % 64 != 0;
        }
        text_.copy(buffer, n, at_);
        at_ += n;
        return static_cast<std::ptrdiff_t>(n);
    }
    std::string error() const override { return {}; }
    int misplaced_ = 0;

private:
    std::string text_;
    std::size_t max_;
    std::size_t at_ = 0;
};

TEST(LineReader, ReadsLandWhereTheirPlaceInACacheLineIsTheStreamPositions) {
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        text += std::string(static_cast<std::size_t>(i % 97), 'x') + (i % 3 ? "\n" : "\r\n");
    }
    text += std::string(9000, 'y') + "\nlast";
    for (std::size_t maxRead : {std::size_t{1} << 20, std::size_t{1000}, std::size_t{333}}) {
        PlaceNotingSource plain(text, maxRead);
        LineReader reader(plain, 4096);
        std::size_t lines = ReadAll(reader).size();
        EXPECT_EQ(lines, 3002u);
        EXPECT_EQ(plain.misplaced_, 0) << maxRead;

        PlaceNotingSource chunked(text, maxRead);
        ChunkedLines split(chunked, 2, 4096, LineReader::kMaxLine, MatchOptions("", {}, nullptr));
        for (lines = 0; split.next(); ++lines) {
        }
        EXPECT_EQ(lines, 3002u);
        EXPECT_EQ(chunked.misplaced_, 0) << maxRead;
    }
}

}  // namespace
}  // namespace tallowby
