#include "output/ExportPage.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace tallowby {
namespace {

namespace fs = std::filesystem;

// An in-memory file system whose writes can be made to fail.
class MemoryFileSystem final : public FileSystem {
public:
    std::map<std::string, std::string> files;
    bool failOpen = false;
    std::size_t failAfterBytes = std::string::npos;  // a write crossing this fails
    bool failCommit = false;

    FileStatus status(const std::string& path) override {
        FileStatus st;
        if (files.count(path)) {
            st.kind = FileKind::Regular;
        }
        return st;
    }
    std::unique_ptr<ByteSource> openRead(const std::string&, std::string& error) override {
        error = "not supported";
        return nullptr;
    }
    std::unique_ptr<ByteSink> openReplace(const std::string& path, std::string& error) override {
        if (failOpen) {
            error = "Permission denied";
            return nullptr;
        }
        return std::make_unique<Sink>(*this, path);
    }

private:
    class Sink final : public ByteSink {
    public:
        Sink(MemoryFileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
        bool write(std::string_view bytes) override {
            if (written_.size() + bytes.size() > fs_.failAfterBytes) {
                error_ = "No space left on device";
                return false;
            }
            written_.append(bytes);
            return true;
        }
        bool commit() override {
            if (fs_.failCommit) {
                error_ = "Input/output error";
                return false;
            }
            fs_.files[path_] = written_;
            return true;
        }
        std::string error() const override { return error_; }

    private:
        MemoryFileSystem& fs_;
        std::string path_;
        std::string written_;
        std::string error_;
    };
};

struct Referrer {
    std::string text;
    bool bot = false;
};

void Fill(WorkList& list, const std::vector<Referrer>& referrers, bool collapse) {
    for (const Referrer& r : referrers) {
        list.append(r.text, TypeCode::HTM, r.bot);
    }
    if (collapse) {
        list.collapse();
    }
}

std::string Export(const WorkList& list) {
    MemoryFileSystem mem;
    const ExportResult result = WriteExportPage(mem, "/logs/referers.html", list);
    EXPECT_TRUE(result.ok) << result.error;
    return mem.files["/logs/referers.html"];
}

TEST(ExportPage, WritesOneLinePerEntryWithBareTargetAndStoredText) {
    struct Case {
        const char* name;
        bool collapse;
        std::vector<Referrer> referrers;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"collapse on: count prefix only in the text, trailing space only in the text",
         true,
         {{"http://b.example/ "},
          {"http://a.example/x"},
          {"http://b.example/ "},
          {"http://b.example/ "}},
         "<a href='http://a.example/x'>0000001|http://a.example/x</a><br>\r\n"
         "<a href='http://b.example/'>0000003|http://b.example/ </a><br>\r\n"},
        {"collapse off: one line per referring line",
         false,
         {{"http://b.example/ "}, {"http://a.example/x"}, {"http://b.example/ "}},
         "<a href='http://a.example/x'>http://a.example/x</a><br>\r\n"
         "<a href='http://b.example/'>http://b.example/ </a><br>\r\n"
         "<a href='http://b.example/'>http://b.example/ </a><br>\r\n"},
        {"collapse off: a bar inside the address is not a count prefix",
         false,
         {{"http://p.example/0000002|x "}},
         "<a href='http://p.example/0000002|x'>http://p.example/0000002|x </a><br>\r\n"},
        {"collapse on: only the prefix the collapse put in front is dropped",
         true,
         {{"http://p.example/a|b"}},
         "<a href='http://p.example/a|b'>0000001|http://p.example/a|b</a><br>\r\n"},
        {"only the first space leaves the target",
         false,
         {{"http://s.example/a\" \"agent x/1 (y"}},
         "<a href='http://s.example/a&quot;&quot;agent x/1 (y'>"
         "http://s.example/a&quot; &quot;agent x/1 (y</a><br>\r\n"},
        {"a crawler's referrer is written like any other",
         true,
         {{"http://bot.example/info", true}},
         "<a href='http://bot.example/info'>0000001|http://bot.example/info</a><br>\r\n"},
    };
    for (const Case& c : cases) {
        WorkList list;
        Fill(list, c.referrers, c.collapse);
        EXPECT_EQ(Export(list), c.expected) << c.name;
    }
}

TEST(ExportPage, EscapesMarkupAndQuotesInTargetAndText) {
    struct Case {
        const char* referrer;
        const char* escaped;
    };
    const Case cases[] = {
        {"http://x.example/?a=1&b=2", "http://x.example/?a=1&amp;b=2"},
        {"http://x.example/'><script>alert(1</script>",
         "http://x.example/&#39;&gt;&lt;script&gt;alert(1&lt;/script&gt;"},
        {"http://x.example/\"onmouseover=\"x", "http://x.example/&quot;onmouseover=&quot;x"},
        {"http://x.example/&amp;", "http://x.example/&amp;amp;"},
        {"http://x.example/caf\xc3\xa9\xff", "http://x.example/caf\xc3\xa9\xff"},  // bytes as read
    };
    for (const Case& c : cases) {
        WorkList list;
        Fill(list, {{c.referrer}}, false);
        EXPECT_EQ(Export(list),
                  std::string("<a href='") + c.escaped + "'>" + c.escaped + "</a><br>\r\n")
            << c.referrer;
    }
}

TEST(ExportPage, LongListIsWrittenWholeAcrossWriteChunks) {
    WorkList list;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        char text[64];
        std::snprintf(text, sizeof text, "http://site%05d.example/&", i);
        list.append(text, TypeCode::HTM, false);
        std::string escaped = std::string(text, std::strlen(text) - 1) + "&amp;";
        expected += "<a href='" + escaped + "'>" + escaped + "</a><br>\r\n";
    }
    ASSERT_GT(expected.size(), std::size_t{3} << 16);
    EXPECT_EQ(Export(list), expected);
}

TEST(ExportPage, FailureLeavesEarlierFileWholeAndSaysWhy) {
    struct Case {
        const char* name;
        bool failOpen;
        std::size_t failAfterBytes;
        bool failCommit;
        const char* error;
    };
    const Case cases[] = {
        {"cannot create", true, std::string::npos, false, "Permission denied"},
        {"write fails at once", false, 0, false, "No space left on device"},
        {"write fails after a chunk", false, 70000, false, "No space left on device"},
        {"rename fails", false, std::string::npos, true, "Input/output error"},
    };
    WorkList list;
    for (int i = 0; i < 3000; ++i) {
        list.append("http://many.example/" + std::to_string(i) + " ", TypeCode::HTM, false);
    }
    for (const Case& c : cases) {
        MemoryFileSystem mem;
        mem.files["/logs/referers.html"] = "earlier export\r\n";
        mem.failOpen = c.failOpen;
        mem.failAfterBytes = c.failAfterBytes;
        mem.failCommit = c.failCommit;
        const ExportResult result = WriteExportPage(mem, "/logs/referers.html", list);
        EXPECT_FALSE(result.ok) << c.name;
        EXPECT_EQ(result.error, c.error) << c.name;
        EXPECT_EQ(mem.files["/logs/referers.html"], "earlier export\r\n") << c.name;
    }
}

class ExportPageOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tallowby-export-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    static std::string Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir_;
};

TEST_F(ExportPageOnDisk, ShorterExportReplacesLongerAndEmptyListGivesEmptyFile) {
    const std::string path = ExportPagePath(dir_.string());
    WorkList three;
    Fill(three, {{"http://a.example/"}, {"http://b.example/"}, {"http://c.example/"}}, true);
    ASSERT_TRUE(WriteExportPage(RealFileSystem(), path, three).ok);
    EXPECT_EQ(Read(path).size(), 3 * std::string("<a href='http://a.example/'>0000001|"
                                                 "http://a.example/</a><br>\r\n")
                                         .size());

    WorkList one;
    Fill(one, {{"http://z.example/ "}}, false);
    ASSERT_TRUE(WriteExportPage(RealFileSystem(), path, one).ok);
    EXPECT_EQ(Read(path), "<a href='http://z.example/'>http://z.example/ </a><br>\r\n");

    WorkList none;
    ASSERT_TRUE(WriteExportPage(RealFileSystem(), path, none).ok);
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), 0u);
    // No temporary file is left beside the export.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(ExportPageOnDisk, MissingDirectoryIsReportedAndCreatesNothing) {
    WorkList list;
    Fill(list, {{"http://a.example/"}}, false);
    const ExportResult result =
        WriteExportPage(RealFileSystem(), (dir_ / "no-such-dir" / "referers.html").string(), list);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "No such file or directory");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 0);
}

TEST(ExportPage, PathAndMessage) {
    EXPECT_EQ(ExportPagePath("/var/log/web"), "/var/log/web/referers.html");
    EXPECT_EQ(ExportPagePath("/var/log/web/"), "/var/log/web/referers.html");
    EXPECT_EQ(ExportPagePath("/"), "/referers.html");
    EXPECT_EQ(ExportSavedMessage("/var/log/web/referers.html"),
              "saved as /var/log/web/referers.html");
}

}  // namespace
}  // namespace tallowby
