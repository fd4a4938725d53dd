#include "output/ExportPage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "MemoryFileSystem.h"
#include "TempDir.h"
#include "output/Report.h"

namespace tallowby {
namespace {

namespace fs = std::filesystem;

using testing::MemoryFileSystem;
using testing::ReadWhole;
using testing::TempDir;

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

std::string Report(const WorkList& list) {
    MemoryFileSystem mem;
    const std::vector<Site> sites = GroupBySite(list);
    const ScanCounters counters;
    EXPECT_TRUE(WriteReport(mem, "/logs/report.html", {list, sites, counters, {}}).ok);
    return mem.file("/logs/report.html").content;
}

std::string Export(const WorkList& list) {
    MemoryFileSystem mem;
    const ExportResult result = WriteExportPage(mem, "/logs/referers.html", list);
    EXPECT_TRUE(result.ok) << result.error;
    return mem.file("/logs/referers.html").content;
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

// The report writes the same texts as valid UTF-8, in double quotes.
TEST(ExportPage, EscapesMarkupAndQuotesInTargetAndTextAndSoDoesTheReport) {
    struct Case {
        const char* referrer;
        const char* escaped;
        const char* reported = nullptr;  // when not `escaped`
    };
    const Case cases[] = {
        {"http://x.example/?a=1&b=2", "http://x.example/?a=1&amp;b=2"},
        {"http://x.example/'><script>alert(1</script>",
         "http://x.example/&#39;&gt;&lt;script&gt;alert(1&lt;/script&gt;"},
        {"http://x.example/\"onmouseover=\"x", "http://x.example/&quot;onmouseover=&quot;x"},
        {"http://x.example/&amp;", "http://x.example/&amp;amp;"},
        {"http://x.example/caf\xc3\xa9\xff", "http://x.example/caf\xc3\xa9\xff",  // bytes as read
         "http://x.example/caf\xc3\xa9\xef\xbf\xbd"},
    };
    for (const Case& c : cases) {
        WorkList list;
        Fill(list, {{c.referrer}}, false);
        EXPECT_EQ(Export(list),
                  std::string("<a href='") + c.escaped + "'>" + c.escaped + "</a><br>\r\n")
            << c.referrer;
        const std::string reported = c.reported ? c.reported : c.escaped;
        EXPECT_NE(Report(list).find("<a href=\"" + reported + "\">" + reported + "</a>"),
                  std::string::npos)
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

// The real disk, in a folder of the test's own.
class ExportPageOnDisk : public ::testing::Test {
protected:
    TempDir temp_;
    const fs::path dir_ = temp_.path();
};

TEST_F(ExportPageOnDisk, ShorterExportReplacesLongerAndEmptyListGivesEmptyFile) {
    const std::string path = ExportPagePath(dir_.string());
    WorkList three;
    Fill(three, {{"http://a.example/"}, {"http://b.example/"}, {"http://c.example/"}}, true);
    ASSERT_TRUE(WriteExportPage(RealFileSystem(), path, three).ok);
    EXPECT_EQ(ReadWhole(path).size(), 3 * std::string("<a href='http://a.example/'>0000001|"
                                                      "http://a.example/</a><br>\r\n")
                                              .size());

    WorkList one;
    Fill(one, {{"http://z.example/ "}}, false);
    ASSERT_TRUE(WriteExportPage(RealFileSystem(), path, one).ok);
    EXPECT_EQ(ReadWhole(path), "<a href='http://z.example/'>http://z.example/ </a><br>\r\n");

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
