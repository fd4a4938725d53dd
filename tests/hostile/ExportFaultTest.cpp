// Export faults: a folder the program may not write to, a disk that fills up
// part-way, a rename that fails, and a target path that is a folder. Each
// time the earlier referers.html (or report) survives whole, no temporary file is left
// behind, and the failure names the reason (and, on the command line, the
// path). Permission bits do not stop root, so the faults come through the
// file seam, over the real disk.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "FaultyFileSystem.h"
#include "TempDir.h"
#include "cli/ScanCommand.h"
#include "engine/tally/WorkList.h"
#include "output/ExportPage.h"
#include "output/Report.h"

namespace tallowby::testing {
namespace {

namespace fs = std::filesystem;

const std::string kEarlier =
    "<a href='http://earlier.example/'>http://earlier.example/</a><br>\r\n";

std::vector<std::string> Names(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct Fault {
    const char* name;
    FaultyFileSystem::Fault fault;
    std::size_t writeLimit;
    const char* reason;
};

const std::vector<Fault>& Faults() {
    static const std::vector<Fault> faults = {
        {"read-only folder", FaultyFileSystem::Fault::RefuseOpen, 0, "Permission denied"},
        {"disk full at once", FaultyFileSystem::Fault::FailWriteAfter, 0,
         "No space left on device"},
        {"disk full part-way", FaultyFileSystem::Fault::FailWriteAfter, 30,
         "No space left on device"},
        {"rename fails", FaultyFileSystem::Fault::FailCommit, 0, "Input/output error"},
    };
    return faults;
}

TEST(ExportFault, EarlierPageSurvivesWholeAndNoTemporaryIsLeft) {
    // Enough entries for several writes, so a full disk can strike in the middle.
    WorkList list;
    for (int i = 0; i < 5000; ++i) {
        list.append("http://site" + std::to_string(i) + ".example/<b>'quoted'</b> ", TypeCode::HTM,
                    false);
    }
    const std::vector<Site> sites = GroupBySite(list);
    const ScanCounters counters;
    const std::function<ExportResult(FileSystem&, const std::string&)> writers[] = {
        [&](FileSystem& fs, const std::string& path) { return WriteExportPage(fs, path, list); },
        [&](FileSystem& fs, const std::string& path) {
            return WriteReport(fs, path, {list, sites, counters, {}});
        },
    };
    for (const auto& write : writers) {
        for (const Fault& f : Faults()) {
            TempDir dir;
            const std::string page = dir.write("referers.html", kEarlier);
            FaultyFileSystem faulty;
            faulty.fault = f.fault;
            faulty.writeLimit = f.writeLimit;
            faulty.reason = f.reason;
            const ExportResult result = write(faulty, page);
            EXPECT_FALSE(result.ok) << f.name;
            EXPECT_EQ(result.error, f.reason) << f.name;
            EXPECT_EQ(ReadWhole(page), kEarlier) << f.name;
            EXPECT_EQ(Names(dir), std::vector<std::string>{"referers.html"}) << f.name;
        }
    }
}

TEST(ExportFault, TargetThatIsAFolderIsLeftAsItIs) {
    TempDir dir;
    const std::string page = dir.file("referers.html");
    fs::create_directory(page);
    dir.write("referers.html/inside.txt", "kept");
    WorkList list;
    list.append("http://a.example/", TypeCode::HTM, false);
    const ExportResult result = WriteExportPage(RealFileSystem(), page, list);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "Is a directory");
    EXPECT_TRUE(fs::is_directory(page));
    EXPECT_EQ(ReadWhole(page + "/inside.txt"), "kept");
    EXPECT_EQ(Names(dir), std::vector<std::string>{"referers.html"});
}

// The command line names the path and the reason, still prints the rows, and
// exits with the file-problem status.
TEST(ExportFault, CommandLineNamesThePathAndTheReasonAndStillPrintsTheRows) {
    for (const Fault& f : Faults()) {
        TempDir dir;
        const std::string log = dir.write("access.log", "GET http://a.example/ x\r\n");
        const std::string page = dir.write("referers.html", kEarlier);
        FaultyFileSystem faulty;
        faulty.fault = f.fault;
        faulty.writeLimit = f.writeLimit;
        faulty.reason = f.reason;

        cli::ScanOptions options;
        options.domain = "mysite.example";
        options.htmlPath = page;
        options.files = {log};
        cli::CommandIo io;
        io.out = std::tmpfile();
        io.err = std::tmpfile();
        io.fs = &faulty;
        const int status = cli::RunScanCommand(options, io);
        auto contents = [](std::FILE* file) {
            std::string s(static_cast<std::size_t>(std::ftell(file)), '\0');
            std::rewind(file);
            s.resize(std::fread(s.data(), 1, s.size(), file));
            std::fclose(file);
            return s;
        };
        const std::string out = contents(io.out);
        const std::string err = contents(io.err);
        EXPECT_EQ(status, cli::kExitFileProblem) << f.name;
        EXPECT_EQ(out, "Type,Clicks,Referrer\nHTM,0000001,http://a.example/ \n") << f.name;
        EXPECT_NE(err.find("tallowby-scan: " + page + ": cannot write: " + f.reason + "\n"),
                  std::string::npos)
            << f.name << ": " << err;
        EXPECT_EQ(ReadWhole(page), kEarlier) << f.name;
        EXPECT_EQ(Names(dir), (std::vector<std::string>{"access.log", "referers.html"})) << f.name;
    }
}

}  // namespace
}  // namespace tallowby::testing
