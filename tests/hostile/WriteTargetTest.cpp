// What the written page replaces, by what the path names: a regular file is
// replaced whole and keeps its mode (and owner, where the system allows), a
// symbolic link stays a link and its target is replaced beside it, a device
// or FIFO is written straight through, and a folder is refused. Also logs
// that grow while they are read, and names that hold terminal escapes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "RecordingHost.h"
#include "TempDir.h"
#include "engine/match/ShownText.h"
#include "engine/read/FileSystem.h"
#include "engine/scan/Scanner.h"

namespace tallowby::testing {
namespace {

namespace fs = std::filesystem;

bool Write(const std::string& path, const std::string& bytes, std::string& error) {
    std::unique_ptr<ByteSink> sink = RealFileSystem().openReplace(path, error);
    if (!sink)
        return false;
    if (!sink->write(bytes) || !sink->commit()) {
        error = sink->error();
        return false;
    }
    return true;
}

std::size_t EntryCount(const fs::path& dir) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
}

TEST(WriteTarget, EachKindOfPathIsWrittenByItsRule) {
    struct Case {
        const char* name;
        // Makes the target in `dir`, returns the path to write.
        std::function<std::string(const TempDir& dir)> make;
        const char* error;  // empty: the write succeeds
        // Checks the outcome.
        std::function<void(const TempDir& dir, const std::string& path)> check;
    };
    const std::vector<Case> cases = {
        {"page with mode 600",
         [](const TempDir& d) {
             const std::string p = d.write("page.html", "old");
             ::chmod(p.c_str(), 0600);
             return p;
         },
         "",
         [](const TempDir& d, const std::string& p) {
             struct stat st {};
             ASSERT_EQ(::stat(p.c_str(), &st), 0);
             EXPECT_EQ(st.st_mode & 07777, 0600u);
             EXPECT_EQ(ReadWhole(p), "new");
             EXPECT_EQ(EntryCount(d.path()), 1u);
         }},
        {"link to a page in another folder",
         [](const TempDir& d) {
             fs::create_directory(d.path() / "real");
             d.write("real/page.html", "old");
             fs::create_symlink("real/page.html", d.path() / "link.html");
             return d.file("link.html");
         },
         "",
         [](const TempDir& d, const std::string& p) {
             EXPECT_TRUE(fs::is_symlink(p));
             EXPECT_EQ(ReadWhole(d.file("real/page.html")), "new");
             EXPECT_EQ(EntryCount(d.path() / "real"), 1u);
             EXPECT_EQ(EntryCount(d.path()), 2u);
         }},
        {"link to nothing yet",
         [](const TempDir& d) {
             fs::create_symlink("made.html", d.path() / "link.html");
             return d.file("link.html");
         },
         "",
         [](const TempDir& d, const std::string& p) {
             EXPECT_TRUE(fs::is_symlink(p));
             EXPECT_EQ(ReadWhole(d.file("made.html")), "new");
         }},
        {"device", [](const TempDir&) { return std::string("/dev/null"); }, "",
         [](const TempDir&, const std::string& p) {
             struct stat st {};
             ASSERT_EQ(::stat(p.c_str(), &st), 0);
             EXPECT_TRUE(S_ISCHR(st.st_mode));
         }},
        {"FIFO nobody reads",
         [](const TempDir& d) {
             ::mkfifo(d.file("fifo").c_str(), 0600);
             return d.file("fifo");
         },
         "Nothing reads from it",
         [](const TempDir&, const std::string& p) {
             EXPECT_EQ(fs::status(p).type(), fs::file_type::fifo);
         }},
        {"folder",
         [](const TempDir& d) {
             fs::create_directory(d.path() / "folder");
             return d.file("folder");
         },
         "Is a directory",
         [](const TempDir& d, const std::string& p) {
             EXPECT_TRUE(fs::is_directory(p));
             EXPECT_EQ(EntryCount(d.path()), 1u);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = c.make(dir);
        std::string error;
        EXPECT_EQ(Write(path, "new", error), std::string(c.error).empty());
        EXPECT_EQ(error, c.error);
        c.check(dir, path);
    }
}

TEST(WriteTarget, FifoWithAReaderGetsTheBytesAndStaysAFifo) {
    TempDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    std::string error;
    EXPECT_TRUE(Write(fifo, "through", error)) << error;
    char got[16] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 7);
    EXPECT_EQ(std::string(got), "through");
    ::close(reader);
    EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo);
}

TEST(WriteTarget, ReplacedPageKeepsItsOwnerWhereAllowed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file away";
    TempDir dir;
    const std::string page = dir.write("page.html", "old");
    ASSERT_EQ(::chown(page.c_str(), 4321, 4321), 0);
    std::string error;
    ASSERT_TRUE(Write(page, "new", error)) << error;
    struct stat st {};
    ASSERT_EQ(::stat(page.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4321u);
}

// A live log: at every yield its writer appends two lines. The scan reads
// the file as it stood when opened (after the first yield, which follows the
// line count), and ends.
TEST(GrowingLog, IsReadToTheSizeItHadWhenOpened) {
    TempDir dir;
    const std::string path = dir.write("live.log",
                                       "a http://live.example/0 x\n"
                                       "b http://live.example/1 x\n");
    RecordingHost host{RecordingHost::Events::Quiet};
    host.directory = dir.path().string();
    host.select({"live.log"});
    std::ofstream writer(path, std::ios::binary | std::ios::app);
    host.onYield = [&] {
        writer << "c http://live.example/" << host.yields << " y\nd http://live.example/more y\n";
        writer.flush();
    };
    Scanner scanner(RealFileSystem());
    ::alarm(60);  // without the limit this scan never ends
    ASSERT_TRUE(testing::RunScan(scanner, host));
    ::alarm(0);
    EXPECT_EQ(scanner.counters().linesScanned, 4);
    EXPECT_EQ(scanner.counters().linksFound, 4);
}

TEST(ShownText, ControlBytesAndBrokenUtf8AreWrittenAsHex) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain name.log", "plain name.log"},
        {"\x1b]0;title\x07.log", "\\x1b]0;title\\x07.log"},
        {"\x1b[2J", "\\x1b[2J"},
        {std::string("nul\0del\x7f", 8), "nul\\x00del\\x7f"},
        {"tab\there\r\n", "tab\\x09here\\x0d\\x0a"},
        {"caf\xe9.log", "caf\\xe9.log"},
        {"b\xff.log", "b\\xff.log"},
        {"csi \xc2\x9b"
         "2J",
         "csi \\xc2\\x9b2J"},  // U+009B in UTF-8
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"back\\slash", "back\\slash"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(EscapeControlBytes(text), shown) << shown;
}

}  // namespace
}  // namespace tallowby::testing
