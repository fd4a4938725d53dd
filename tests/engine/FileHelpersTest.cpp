#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "MemoryFileSystem.h"
#include "TempDir.h"
#include "engine/FileHelpers.h"

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

TEST(FileExists, TrueOnlyForOrdinaryFilesNamedExactly) {
    TempDir dir;
    std::string log = dir.write("access.log", "x\n");
    dir.write(".hidden", "x\n");
    fs::create_directory(dir.file("sub"));
    ::mkfifo((dir.file("pipe")).c_str(), 0600);

    EXPECT_TRUE(FileExists(log));
    EXPECT_FALSE(FileExists(dir.file("ACCESS.LOG")));  // letter case counts here
    EXPECT_FALSE(FileExists(dir.file("missing.log")));
    EXPECT_FALSE(FileExists(dir.file("sub")));
    EXPECT_FALSE(FileExists(dir.file(".hidden")));
    EXPECT_FALSE(FileExists(dir.file("pipe")));
    EXPECT_FALSE(FileExists(dir.file("*.log")));
    EXPECT_FALSE(FileExists(dir.file("")));
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
