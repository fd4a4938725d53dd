#include "ScanCommand.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "cli/CliHost.h"
#include "cli/ProgressLine.h"
#include "cli/StdinFileSystem.h"
#include "engine/Scanner.h"
#include "engine/ShownText.h"
#include "engine/Sites.h"
#include "engine/SpamList.h"
#include "results/ExportPage.h"
#include "results/RowFormats.h"
#include "results/SitesPage.h"

namespace tallowby::cli {

namespace {

// Output handed to stdio in large pieces: one fwrite per megabyte instead of
// one stream operation per field, and a long cell in pieces as it is escaped.
class BlockWriter {
public:
    explicit BlockWriter(std::FILE* out)
        : out_(out), text_([this](std::string_view bytes) { return put(bytes); }, kBlock) {}
    TextOutput& text() { return text_; }
    // Flushes stdio as well; false when any write failed.
    bool finish() {
        bool ok = text_.flush();
        if (ok && std::fflush(out_) != 0) {
            ok = false;
            errno_ = errno;
        }
        return ok;
    }
    std::string error() const { return std::strerror(errno_ ? errno_ : EIO); }

private:
    static constexpr std::size_t kBlock = 1 << 20;
    bool put(std::string_view bytes) {
        if (std::fwrite(bytes.data(), 1, bytes.size(), out_) != bytes.size()) {
            errno_ = errno;
            return false;
        }
        return true;
    }
    std::FILE* out_;
    TextOutput text_;
    int errno_ = 0;
};

void WriteSites(const ScanOptions& options, const std::vector<Site>& sites,
                const ScanCounters& counters, BlockWriter& writer) {
    TextOutput& out = writer.text();
    JsonResultsWriter json(out);
    if (options.format == OutputFormat::Json) {
        json.begin();
    } else {
        out.buffer() += "Pages,Clicks,Site\n";
    }
    for (const Site& site : sites) {
        const std::string pages = CountDigits(site.entries);
        const std::string clicks = CountDigits(site.clicks);
        if (options.format == OutputFormat::Json) {
            json.siteRow(pages, clicks, site.host);
        } else {
            AppendCsvField(out, pages);
            out.buffer() += ',';
            AppendCsvField(out, clicks);
            out.buffer() += ',';
            AppendCsvField(out, site.host);
            out.buffer() += '\n';
            out.spill();
        }
    }
    if (options.format == OutputFormat::Json) {
        json.end(counters, options.hideSpam);
    }
}

void WriteRows(const ScanOptions& options, const CliHost& host, const ScanCounters& counters,
               BlockWriter& writer) {
    TextOutput& out = writer.text();
    if (options.format == OutputFormat::Json) {
        JsonResultsWriter json(out);
        json.begin();
        for (const ReferrerEntry& row : host.rows()) {
            json.row(row);
        }
        json.end(counters, options.hideSpam);
    } else {
        AppendCsvHeader(out);
        for (const ReferrerEntry& row : host.rows()) {
            AppendCsvRow(out, row);
        }
    }
}

void Complain(std::FILE* err, const std::string& what, const std::string& reason) {
    const std::string line =
        "tallowby-scan: " + EscapeControlBytes(what) + ": " + EscapeControlBytes(reason) + "\n";
    std::fputs(line.c_str(), err);
}

}  // namespace

int RunScanCommand(const ScanOptions& options, const CommandIo& io) {
    StdinFileSystem fs(io.fs ? *io.fs : RealFileSystem(), io.stdinFd);
    Scanner scanner(fs);
    std::unique_ptr<ProgressLine> progress;
    if (io.progress && !options.quiet) {
        progress =
            std::make_unique<ProgressLine>(io.err, io.terminalWidth, ProgressLine::Clock::now());
    }
    CliHost host(options, scanner.counters(), io.err, progress.get());
    std::optional<SpamList> loadedSpam;
    if (options.spamListPath) {
        // Checked before any reading: a scan without the asked-for filter
        // would print spam as if it were not.
        std::string error;
        loadedSpam = SpamList::Load(fs, *options.spamListPath, error);
        if (!loadedSpam) {
            Complain(io.err, *options.spamListPath, "cannot read the spam list: " + error);
            std::fflush(io.err);
            return kExitFileProblem;
        }
    }
    if (options.hideSpam) {
        host.setSpamList(loadedSpam ? &*loadedSpam : &SpamList::Builtin());
    }
    scanner.run(host);
    if (progress) {
        progress->erase();
    }
    int status = host.hadFileProblem() ? kExitFileProblem : kExitOk;

    std::vector<Site> sites;
    if (options.bySite) {
        sites = GroupBySite(scanner.workList());
    }
    BlockWriter writer(io.out);
    if (options.bySite) {
        WriteSites(options, sites, scanner.counters(), writer);
    } else {
        WriteRows(options, host, scanner.counters(), writer);
    }
    if (!writer.finish()) {
        Complain(io.err, "standard output", writer.error());
        status = kExitFileProblem;
    }

    if (options.htmlPath) {
        const ExportResult result =
            options.bySite ? WriteSitesPage(fs, *options.htmlPath, sites)
                           : WriteExportPage(fs, *options.htmlPath, scanner.workList());
        if (!result.ok) {
            Complain(io.err, *options.htmlPath, "cannot write: " + result.error);
            status = kExitFileProblem;
        }
    }

    if (!options.quiet) {
        const std::string summary = CompleteStatusText(scanner.counters()) + "\n";
        std::fputs(summary.c_str(), io.err);
    }
    std::fflush(io.err);
    return status;
}

}  // namespace tallowby::cli
