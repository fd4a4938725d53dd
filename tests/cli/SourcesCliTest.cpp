// tallowby-scan --by-source, --keywords and --sources on sources.log: search
// engines (keywords in UTF-8, in windows-1251, with a comma and quotes),
// social networks, AI assistants (x.com/i/grok beside x.com), a spam host
// and a website. Rows worked out by hand.
#include <algorithm>

#include "CliTest.h"

namespace tallowby::testing {
namespace {

class SourcesCli : public CliTest {
protected:
    ProgramResult Scan(const std::vector<std::string>& options) {
        return RunProgram(kProgram,
                          Joined({"-d", "mysite.example", "-q"}, options, {"sources.log"}), data_);
    }
};

TEST_F(SourcesCli, RowsPerSourceAndPerKeyword) {
    const std::string sources =
        "website,blog.test,0000001,0000001\n"
        "ai,ChatGPT,0000001,0000001\n"
        "social,Facebook,0000002,0000002\n"
        "search,Poisk.Ru,0000001,0000001\n";
    const std::string keywords =
        "Engine,Keyword,Clicks\n"
        "Poisk.Ru,привет,0000001\n"
        "Bing,\"widgets, \"\"blue\"\"\",0000001\n";
    const std::string stats =
        "\"stats\":{\"filesDone\":1,\"linesScanned\":13,\"linksFound\":12,\"duplicatesRemoved\":2,"
        "\"uniqueLinks\":10";
    struct Case {
        std::vector<std::string> options;
        std::string out;
    };
    const Case cases[] = {
        {{"--by-source"},
         "Class,Source,Pages,Clicks\n" + sources +
             "spam,0-0.fr,0000001,0000001\nsearch,Bing,0000001,0000001\n"
             "search,Google,0000001,0000003\nsocial,Twitter,0000001,0000001\n"
             "ai,Grok,0000001,0000001\n"},
        // Pages are distinct referrers without the collapse too.
        {{"--by-source", "--no-dupes", "--hide-spam", "--https"},
         "Class,Source,Pages,Clicks\n" + sources +
             "search,Bing,0000001,0000001\nsearch,Google,0000002,0000004\n"
             "social,Twitter,0000001,0000001\nai,Grok,0000001,0000001\n"},
        {{"--by-source", "--format", "json", "--hide-spam"},
         "{\"rows\":[{\"class\":\"website\",\"source\":\"blog.test\",\"pages\":\"0000001\","
         "\"clicks\":\"0000001\"},{\"class\":\"ai\",\"source\":\"ChatGPT\",\"pages\":\"0000001\","
         "\"clicks\":\"0000001\"},{\"class\":\"social\",\"source\":\"Facebook\",\"pages\":"
         "\"0000002\",\"clicks\":\"0000002\"},{\"class\":\"search\",\"source\":\"Poisk.Ru\","
         "\"pages\":\"0000001\",\"clicks\":\"0000001\"},{\"class\":\"search\",\"source\":\"Bing\","
         "\"pages\":\"0000001\",\"clicks\":\"0000001\"},{\"class\":\"search\",\"source\":"
         "\"Google\",\"pages\":\"0000001\",\"clicks\":\"0000003\"},{\"class\":\"social\","
         "\"source\":\"Twitter\",\"pages\":\"0000001\",\"clicks\":\"0000001\"},{\"class\":\"ai\","
         "\"source\":\"Grok\",\"pages\":\"0000001\",\"clicks\":\"0000001\"}],\"stats\":{"
         "\"filesDone\":1,\"linesScanned\":13,\"linksFound\":11,\"duplicatesRemoved\":2,"
         "\"uniqueLinks\":9,\"spamHidden\":1}}\n"},
        {{"--keywords"}, keywords + "Google,café tallowby,0000003\n"},
        // The referrer field: the https:// line is read too.
        {{"--keywords", "--fields", "--threads", "1"}, keywords + "Google,café tallowby,0000004\n"},
        {{"--keywords", "--format", "json"},
         "{\"rows\":[{\"engine\":\"Poisk.Ru\",\"keyword\":\"привет\",\"clicks\":\"0000001\"},"
         "{\"engine\":\"Bing\",\"keyword\":\"widgets, \\\"blue\\\"\",\"clicks\":\"0000001\"},"
         "{\"engine\":\"Google\",\"keyword\":\"café tallowby\",\"clicks\":\"0000003\"}]," +
             stats + "}}\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.options));
        const ProgramResult r = Scan(c.options);
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
}

TEST_F(SourcesCli, PagesOfLinksEscapedAsTheExportPage) {
    Scan({"--by-source", "--quoted", "--format", "none", "--html", (temp_ / "s.html").string()});
    const std::string first = "<a href='http://blog.test/post?a=&lt;b&gt;'>blog.test</a><br>\r\n";
    EXPECT_EQ(TempFile("s.html").substr(0, first.size()), first);
    Scan({"--keywords", "--quoted", "--format", "none", "--html", (temp_ / "k.html").string()});
    EXPECT_EQ(TempFile("k.html"),
              "<a href='http://poisk.ru/cgi-bin/poisk?text=%D0%BF%D1%80%D0%B8%D0%B2%D0%B5%D1%82'>"
              "привет (Poisk.Ru)</a><br>\r\n"
              "<a href='http://www.bing.com/search?q=widgets%2C%20%22blue%22'>widgets, "
              "&quot;blue&quot; (Bing)</a><br>\r\n"
              "<a href='http://www.google.de/search?q=caf%C3%A9%20tallowby'>café tallowby "
              "(Google)</a><br>\r\n");
}

// A long output (the rows formatted on threads, in blocks) has the rows
// of one thread, in order, each keyword's whole.
TEST_F(SourcesCli, LongOutputsAreTheSameOnEveryThreadCount) {
    std::string log;
    for (int i = 0; i < 20000; ++i) {
        log += "\"http://www.google.com/search?q=" + std::to_string(i) +
               (i % 997 == 0 ? std::string(300000, 'k') : "+%22x%22") + "\"\n";
    }
    const std::string path = dir_.write("long.log", log);
    for (const char* format : {"csv", "json"}) {
        std::string one;
        for (const char* threads : {"1", "3"}) {
            const ProgramResult r = Run({"-d", "mysite.example", "-q", "--quoted", "--keywords",
                                         "--format", format, "--threads", threads, path});
            ASSERT_EQ(r.exitStatus, 0);
            if (one.empty()) {
                one = r.out;
                EXPECT_EQ(std::count(one.begin(), one.end(), '\n'),
                          std::string(format) == "csv" ? 20001 : 1);
                EXPECT_NE(one.find("0" + std::string(300000, 'k')), std::string::npos);
            }
            EXPECT_TRUE(r.out == one) << format;
        }
    }
}

// Newer lists from a folder: a host of the built-in lists is a website
// there, and a file that is missing or no list stops the run before any
// reading, as a spam list that cannot be read does.
TEST_F(SourcesCli, ListsFromAFolderAndTheirMistakes) {
    dir_.write("SearchEngines.yml", "Finder:\n  - urls: [bing.com]\n    params: [q]\n");
    dir_.write("Socials.yml", "Blog:\n  - blog.test\n");
    dir_.write("AIAssistants.yml", "");
    const ProgramResult r = Scan({"--keywords", "--sources", temp_.string()});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, "Engine,Keyword,Clicks\nFinder,\"widgets, \"\"blue\"\"\",0000001\n");
    const std::string rows =
        "Class,Source,Pages,Clicks\nsocial,Blog,0000001,0000001\n"
        "website,chatgpt.com,0000001,0000001\n";
    EXPECT_EQ(Scan({"--by-source", "--sources", temp_.string()}).out.substr(0, rows.size()), rows);
    // The report's sources and keywords come from the same lists.
    const std::string report = (temp_ / "report.html").string();
    ASSERT_EQ(Scan({"-q", "--report", report, "--sources", temp_.string()}).exitStatus, 0);
    const std::string page = ReadWhole(report);
    EXPECT_NE(page.find("<td>social</td><td>Blog</td>"), std::string::npos);
    EXPECT_NE(page.find("<td>Finder</td><td>widgets, &quot;blue&quot;</td>"), std::string::npos);

    dir_.write("Socials.yml", "Blog:\n  - [blog.test]\n");
    struct Case {
        std::string folder;
        std::string err;
    };
    const Case cases[] = {
        {temp_.string(),
         ": cannot read the lists of sources: Socials.yml: line 2: a host must "
         "be text\n"},
        {data_,
         ": cannot read the lists of sources: SearchEngines.yml: No such file or "
         "directory\n"},
    };
    for (const Case& c : cases) {
        const ProgramResult bad = Scan({"--by-source", "--sources", c.folder});
        EXPECT_EQ(bad.exitStatus, 1);
        EXPECT_EQ(bad.out, "");
        EXPECT_EQ(bad.err, "tallowby-scan: " + c.folder + c.err);
    }
    const ProgramResult refused = Scan({"--sources", temp_.string()});
    EXPECT_EQ(refused.exitStatus, 2);
    EXPECT_EQ(refused.err.substr(0, refused.err.find('\n')),
              "tallowby-scan: --sources works with --by-source, --keywords or --report only");
}

}  // namespace
}  // namespace tallowby::testing
