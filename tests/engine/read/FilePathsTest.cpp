#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "TempDir.h"
#include "engine/read/FilePaths.h"

namespace tallowby {
namespace {

namespace fs = std::filesystem;

using testing::TempDir;

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
