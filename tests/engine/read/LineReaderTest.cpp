#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "MemoryFileSystem.h"
#include "ReferenceRules.h"
#include "TempDir.h"
#include "engine/read/Compression.h"
#include "engine/read/LineReader.h"
#include "engine/scan/ChunkedLines.h"

namespace tallowby {
namespace {

using testing::MemoryFileSystem;
using testing::SplitLines;
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

// Runs of NUL bytes longer than the block, some declared holes of a sparse
// file (passed over unread), some not: each is a line's bytes like any other.
struct ZeroCase {
    std::string input;
    std::vector<std::pair<std::size_t, std::size_t>> holes;
};

std::string Zeros(std::size_t n) {
    return std::string(n, '\0');
}

const std::vector<ZeroCase>& ZeroCases() {
    static const std::vector<ZeroCase> cases = {
        {Zeros(100), {{0, 100}}},
        {"a\n" + Zeros(100) + "\nb", {{2, 102}}},
        {"a\n" + Zeros(100) + "\nb", {{10, 90}}},
        {"x" + Zeros(100) + "\r" + Zeros(50) + "\r\ny", {{1, 101}, {102, 152}}},
        {"x\r" + Zeros(100), {{2, 102}}},  // after a CR the zeros are the next line
        {"x\r" + Zeros(100) + "\n" + Zeros(90) + "\r", {{2, 102}, {103, 193}}},
        {Zeros(60) + "http://a.example/" + Zeros(60) + "\n\n", {{0, 60}, {77, 137}}},
        {"q http://b.example/" + Zeros(100) + ") r" + Zeros(100), {{19, 119}, {122, 222}}},
        {"z http://c.example/" + Zeros(120) + " " + std::string(70, 'w'), {{19, 139}}},
    };
    return cases;
}

// The lines of `input` up to the first longer than `maxLine`, and whether there is one.
std::pair<std::vector<std::string>, bool> LinesWithin(const std::string& input,
                                                      std::size_t maxLine) {
    std::vector<std::string> lines = SplitLines(input);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].size() > maxLine) {
            lines.resize(i);
            return {lines, true};
        }
    }
    return {lines, false};
}

// Every line of `lines` taken, and the referrers of those that have one, sorted.
std::pair<std::size_t, std::vector<std::string>> TakeAll(ChunkedLines& lines) {
    WorkList list;
    std::size_t count = 0;
    while (lines.next()) {
        ++count;
        if (lines.kindWith("mysite.example", {}, nullptr) == LineKind::Link) {
            lines.appendTo(list);
        }
    }
    std::vector<std::string> referrers;
    for (std::size_t i = 0; i < list.size(); ++i)
        referrers.emplace_back(list.at(i).referrer);
    std::sort(referrers.begin(), referrers.end());
    return {count, referrers};
}

// One thread reads with a LineReader; more take chunks, copied or in place.
TEST(ChunkedLines, ZeroRunsAndHolesAreMatchedAsTheBytesTheyAre) {
    for (std::size_t i = 0; i < ZeroCases().size(); ++i) {
        const ZeroCase& c = ZeroCases()[i];
        for (std::size_t maxLine : {LineReader::kMaxLine, std::size_t{80}}) {
            const auto [expected, over] = LinesWithin(c.input, maxLine);
            std::vector<std::string> referrers;
            for (const std::string& line : expected) {
                if (testing::ReferenceHasReferrer(line, "mysite.example"))
                    referrers.push_back(testing::ReferenceExtract(line).referrer);
            }
            std::sort(referrers.begin(), referrers.end());
            for (std::size_t threads : {1, 2, 3}) {
                for (std::size_t block : {1, 3, 7, 64}) {
                    for (bool inPlace : {false, true}) {
                        for (bool holes : {false, true}) {
                            MemoryFileSystem fs;
                            MemoryFileSystem::File& file = fs.add("/f", c.input);
                            file.maxChunk = 5;
                            file.inPlace = inPlace;
                            file.holes = holes ? c.holes : decltype(c.holes){};
                            std::string error;
                            auto source = fs.openRead("/f", error);
                            ChunkedLines lines(*source, unsigned(threads), block, maxLine,
                                               MatchOptions("mysite.example", {}, nullptr));
                            const auto [count, got] = TakeAll(lines);
                            const std::string what =
                                ::testing::PrintToString(std::vector<std::size_t>{
                                    i, threads, block, inPlace, holes, maxLine});
                            EXPECT_EQ(count, expected.size()) << what;
                            EXPECT_EQ(got, referrers) << what;
                            EXPECT_EQ(lines.failed(), over) << what;
                        }
                    }
                }
            }
        }
    }
}

// A real sparse file: its holes are found by the file system's own record
// of them, on every way the file is read.
TEST(LineReader, HolesOfASparseFileReadAsZeros) {
    testing::TempDir dir;
    const std::string path = dir.write("sparse.log", "a http://a.example/ x\n");
    std::filesystem::resize_file(path, 5 << 20);
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out << "tail http://t.example/\r\n";
    }
    std::filesystem::resize_file(path, (9 << 20) + 3);
    const std::string bytes = testing::ReadWhole(path);
    ASSERT_EQ(bytes.size(), (9u << 20) + 3);
    for (unsigned threads : {1u, 2u}) {
        for (bool mapped : {true, false}) {
            std::string error;
            const int fd = mapped ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            std::unique_ptr<ByteSource> raw =  // a descriptor of its own is never mapped
                mapped ? RealFileSystem().openRead(path, error) : DescriptorSource(fd);
            ASSERT_TRUE(raw) << error;
            Compression kind;
            std::unique_ptr<ByteSource> source = OpenDecoded(std::move(raw), kind);
            ChunkedLines lines(*source, threads, LineReader::kDefaultBlock, LineReader::kMaxLine,
                               MatchOptions("mysite.example", {}, nullptr));
            const auto [count, got] = TakeAll(lines);
            EXPECT_EQ(count, SplitLines(bytes).size()) << threads << " " << mapped;
            EXPECT_EQ(got, (std::vector<std::string>{"http://a.example/ ",
                                                     std::string("http://t.example/")}))
                << threads << " " << mapped;
            EXPECT_FALSE(lines.failed()) << lines.error();
            if (fd >= 0)
                ::close(fd);
        }
    }
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
