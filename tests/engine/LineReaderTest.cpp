#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MemoryFileSystem.h"
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

}  // namespace
}  // namespace tallowby
