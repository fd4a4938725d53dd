#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "MemoryFileSystem.h"
#include "ReferenceRules.h"
#include "TempDir.h"
#include "engine/read/FileSystem.h"
#include "engine/read/LineCount.h"

namespace tallowby {
namespace {

namespace fs = std::filesystem;

using testing::TempDir;

int OpenDescriptors() {
    int n = 0;
    for (auto& e : fs::directory_iterator("/proc/self/fd")) {
        (void)e;
        ++n;
    }
    return n;
}

TEST(CountFileLines, CountsLinesByTheReadersRule) {
    TempDir dir;
    std::string many;
    for (int i = 0; i < 40000; ++i)
        many += "line\n";
    struct Case {
        std::string content;
        std::int64_t lines;
    } cases[] = {
        {"", 0},        {"a\r\nb\r\nc\r\n", 3}, {"a\r\nb\r\nc", 3}, {"a\nb\nc\n", 3},
        {"a\rb\rc", 3}, {"a\n\n", 2},           {"\r\n", 1},        {many, 40000},  // no cap
    };
    const int before = OpenDescriptors();
    for (const Case& c : cases) {
        std::string path = dir.write("log", c.content);
        EXPECT_EQ(CountFileLines(path), c.lines)
            << ::testing::PrintToString(c.content.substr(0, 20));
    }
    EXPECT_EQ(CountFileLines(dir.file("missing")), 0);
    EXPECT_EQ(CountFileLines(dir.path().string()), 0);
    EXPECT_EQ(OpenDescriptors(), before) << "a file handle stayed open";
}

// The real file system whose files are only read, never taken where they
// lie: a big file's second half is then read at offsets.
class CopiedFiles final : public FileSystem {
public:
    FileStatus status(const std::string& path) override { return real_.status(path); }
    std::unique_ptr<ByteSource> openRead(const std::string& path, std::string& error) override {
        struct Copied final : ByteSource {
            std::unique_ptr<ByteSource> inner;
            std::ptrdiff_t read(char* b, std::size_t n) override { return inner->read(b, n); }
            std::string error() const override { return inner->error(); }
        };
        auto source = real_.openRead(path, error);
        if (!source)
            return nullptr;
        auto copied = std::make_unique<Copied>();
        copied->inner = std::move(source);
        return copied;
    }
    std::unique_ptr<PositionalFile> openPositional(const std::string& path,
                                                   std::string& error) override {
        return real_.openPositional(path, error);
    }
    std::unique_ptr<ByteSink> openReplace(const std::string& path, std::string& error) override {
        return real_.openReplace(path, error);
    }

private:
    FileSystem& real_ = RealFileSystem();
};

// A file big enough to have its second half counted on another thread,
// taken where it lies (mapped) or read: every kind of line end at the
// place where the halves meet, and a last line with or without an end.
TEST(CountFileLines, BigFileCountedInTwoHalvesAsInOne) {
    CopiedFiles copied;
    TempDir dir;
    std::string base;
    const char* ends[] = {"\n", "\r\n", "\r"};
    for (int i = 0; base.size() < 3'000'000; ++i) {
        base += "line " + std::to_string(i) + ends[i % 3];
    }
    const std::size_t middle = base.size() / 2;
    const char* meetings[] = {"\r\n", "\n\n", "\r\r", "x\r", "\rx", "xx", "\nx", "x\n"};
    for (const char* meeting : meetings) {
        for (const char* last : {"", "tail"}) {
            std::string content = base;
            content.replace(middle - 1, 2, meeting);
            content += last;
            const std::string path = dir.file("big.log");
            std::FILE* f = std::fopen(path.c_str(), "wb");
            ASSERT_NE(f, nullptr);
            ASSERT_EQ(std::fwrite(content.data(), 1, content.size(), f), content.size());
            std::fclose(f);
            for (FileSystem* files : {&RealFileSystem(), static_cast<FileSystem*>(&copied)}) {
                int blocks = 0;
                const ProgressMeasure measure = MeasureForProgress(
                    path, *files, [&] { ++blocks; }, 1);
                EXPECT_EQ(measure.units, testing::CountLines(content))
                    << meeting << last << (files == &copied ? " read" : " in place");
                EXPECT_FALSE(measure.compressedBytes);
                EXPECT_LT(blocks, 3) << "the first half only, in blocks of a megabyte";
            }
        }
    }
}

// Holes (runs of zeros passed over unread, as a sparse file's) hold no
// line ends, wherever they lie: after a CR, at the end, across the middle
// where the two halves meet.
TEST(CountFileLines, HolesCountAsTheZerosTheyAre) {
    const std::size_t mb = std::size_t{1} << 20;
    const auto zeros = [](std::size_t n) { return std::string(n, '\0'); };
    const struct {
        std::string content;
        std::vector<std::pair<std::size_t, std::size_t>> holes;
    } cases[] = {
        {"a\n" + zeros(3 * mb) + "\r\nb", {{2, 2 + 3 * mb}}},
        {"a\r" + zeros(3 * mb), {{2, 2 + 3 * mb}}},
        {"a\r" + zeros(3 * mb) + "\nb\n", {{2 + mb, 2 + 2 * mb}}},
        {zeros(5 * mb) + "\n" + zeros(mb), {{0, 5 * mb}, {5 * mb + 1, 6 * mb + 1}}},
    };
    for (const auto& c : cases) {
        for (bool inPlace : {false, true}) {
            for (std::uint64_t splitFrom : {std::uint64_t{1}, kCountSplitFrom}) {
                testing::MemoryFileSystem mem;
                auto& file = mem.add("/l", c.content);
                file.holes = c.holes;
                file.inPlace = inPlace;
                EXPECT_EQ(MeasureForProgress("/l", mem, {}, splitFrom).units,
                          testing::CountLines(c.content))
                    << ::testing::PrintToString(c.content.substr(0, 3)) << " in place " << inPlace
                    << " split from " << splitFrom;
            }
        }
    }
}

TEST(CountFileLines, ReadErrorGivesTheLinesCountedSoFar) {
    testing::MemoryFileSystem mem;
    auto& f = mem.add("/l", "a\nb\nc\nd\n");
    f.maxChunk = 2;
    f.failAfter = 4;
    EXPECT_EQ(CountFileLines("/l", mem), 2);
    EXPECT_EQ(mem.openSources, 0);
    mem.file("/l").refuseOpen = true;
    EXPECT_EQ(CountFileLines("/l", mem), 0);
}

TEST(CountFileLines, DoesNotReadAFifo) {
    TempDir dir;
    std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(CountFileLines(fifo), 0);  // would block forever if it were opened and read
}

}  // namespace
}  // namespace tallowby
