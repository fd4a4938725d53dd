#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "MemoryFileSystem.h"
#include "engine/FileHelpers.h"

namespace tallowby {
namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "tallowby-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string file(const std::string& name, const std::string& content) const {
        std::string p = path_ + "/" + name;
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

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
    for (int i = 0; i < 40000; ++i) many += "line\n";
    struct Case {
        std::string content;
        std::int64_t lines;
    } cases[] = {
        {"", 0},
        {"a\r\nb\r\nc\r\n", 3},
        {"a\r\nb\r\nc", 3},
        {"a\nb\nc\n", 3},
        {"a\rb\rc", 3},
        {"a\n\n", 2},
        {"\r\n", 1},
        {many, 40000},  // no cap
    };
    const int before = OpenDescriptors();
    for (const Case& c : cases) {
        std::string path = dir.file("log", c.content);
        EXPECT_EQ(CountFileLines(path), c.lines) << ::testing::PrintToString(c.content.substr(0, 20));
    }
    EXPECT_EQ(CountFileLines(dir.path() + "/missing"), 0);
    EXPECT_EQ(CountFileLines(dir.path()), 0);
    EXPECT_EQ(OpenDescriptors(), before) << "a file handle stayed open";
}

TEST(CountFileLines, CrLfPairSplitAcrossBlocksCountsOnce) {
    // The reader uses 1 MiB blocks: put a CR at the last byte of the first one.
    std::string content(1 << 20, 'x');
    content[(1 << 20) - 1] = '\r';
    content += "\nnext\r";
    testing::MemoryFileSystem mem;
    mem.add("/l", content).maxChunk = 1 << 20;
    EXPECT_EQ(CountFileLines("/l", mem), 2);
}

TEST(CountFileLines, ReadErrorGivesTheLinesCountedSoFar) {
    testing::MemoryFileSystem mem;
    auto& f = mem.add("/l", "a\nb\nc\nd\n");
    f.maxChunk = 2;
    f.failAfter = 4;
    EXPECT_EQ(CountFileLines("/l", mem), 2);
    EXPECT_EQ(mem.openSources, 0);
    mem.files["/l"].refuseOpen = true;
    EXPECT_EQ(CountFileLines("/l", mem), 0);
}

TEST(CountFileLines, DoesNotReadAFifo) {
    TempDir dir;
    std::string fifo = dir.path() + "/pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(CountFileLines(fifo), 0);  // would block forever if it were opened and read
}

TEST(FileExists, TrueOnlyForOrdinaryFilesNamedExactly) {
    TempDir dir;
    std::string log = dir.file("access.log", "x\n");
    dir.file(".hidden", "x\n");
    fs::create_directory(dir.path() + "/sub");
    ::mkfifo((dir.path() + "/pipe").c_str(), 0600);

    EXPECT_TRUE(FileExists(log));
    EXPECT_FALSE(FileExists(dir.path() + "/ACCESS.LOG"));  // letter case counts here
    EXPECT_FALSE(FileExists(dir.path() + "/missing.log"));
    EXPECT_FALSE(FileExists(dir.path() + "/sub"));
    EXPECT_FALSE(FileExists(dir.path() + "/.hidden"));
    EXPECT_FALSE(FileExists(dir.path() + "/pipe"));
    EXPECT_FALSE(FileExists(dir.path() + "/*.log"));
    EXPECT_FALSE(FileExists(dir.path() + "/"));
    EXPECT_FALSE(FileExists("/dev/null"));
    EXPECT_FALSE(FileExists(""));
}

TEST(FileNamePart, TakesTextAfterLastSeparator) {
    EXPECT_EQ(FileNamePart("/var/log/www/access.log"), "access.log");
    EXPECT_EQ(FileNamePart("/var/log/"), "");
    EXPECT_EQ(FileNamePart("access.log"), "access.log");
    EXPECT_EQ(FileNamePart(""), "");
    EXPECT_EQ(FileNamePart("C:\\logs\\a.log"), "C:\\logs\\a.log");
}

TEST(JoinPath, JoinsWithOneSeparator) {
    EXPECT_EQ(JoinPath("/var/log", "a.log"), "/var/log/a.log");
    EXPECT_EQ(JoinPath("/", "a.log"), "/a.log");
    EXPECT_EQ(JoinPath("", "a.log"), "a.log");
    EXPECT_EQ(JoinPath("/var/log", ""), "/var/log/");
}

}  // namespace
}  // namespace tallowby
