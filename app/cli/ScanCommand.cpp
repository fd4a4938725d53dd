#include "ScanCommand.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "cli/CliHost.h"
#include "cli/ProgressLine.h"
#include "cli/StdinFileSystem.h"
#include "engine/classify/CrawlerList.h"
#include "engine/classify/Sites.h"
#include "engine/classify/SourceRows.h"
#include "engine/classify/SpamList.h"
#include "engine/match/ShownText.h"
#include "engine/read/RangeSource.h"
#include "engine/scan/ListFiles.h"
#include "engine/scan/PieceStart.h"
#include "engine/scan/ScanOptionNames.h"
#include "engine/scan/Scanner.h"
#include "output/ExportPage.h"
#include "output/Report.h"
#include "output/ReportSources.h"
#include "output/RowBlocks.h"
#include "output/RowFormats.h"
#include "output/SitesPage.h"
#include "output/SourceRowFormats.h"

namespace tallowby::cli {

namespace {

// A pipe holds 64 KB unless asked for more, and a writer that fills it waits
// for the reader to empty it: a long output through a pipe went out in
// 64 KB turns, each waking the reader and putting the writer to sleep. Asked
// for the megabyte an unprivileged process may have by default, the pipe
// lets the writing run ahead of the reading. A larger pipe is left as it
// is; a refusal (limits) leaves it as it was.
void WidenPipe(std::FILE* out) {
#if defined(F_SETPIPE_SZ) && defined(F_GETPIPE_SZ)
    constexpr int kWide = 1 << 20;
    const int fd = fileno(out);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode)) {
        return;
    }
    const int size = fcntl(fd, F_GETPIPE_SZ);
    if (size >= 0 && size < kWide) {
        fcntl(fd, F_SETPIPE_SZ, kWide);
    }
#else
    (void)out;
#endif
}

// Output handed to stdio in large pieces: one fwrite per megabyte instead of
// one stream operation per field, and a long cell in pieces as it is escaped.
class BlockWriter {
public:
    explicit BlockWriter(std::FILE* out)
        : out_(out), text_([this](std::string_view bytes) { return put(bytes); }, kBlock) {
        WidenPipe(out_);
    }
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

// The rows on standard output as --format asks: the CSV header `csvHeader`
// and rows, or a JSON document of the rows and the statistics. `format`
// writes the rows of a block in either form, on several threads at once
// for a long output.
void WriteTable(const ScanOptions& options, std::size_t rows, const ScanCounters& counters,
                BlockWriter& writer, void (*csvHeader)(TextOutput&),
                const std::function<std::size_t(TextOutput&, const RowBlock&, bool json)>& format) {
    if (options.format == OutputFormat::None) {
        return;
    }
    TextOutput& out = writer.text();
    const bool json = options.format == OutputFormat::Json;
    JsonResultsWriter document(out);
    if (json) {
        document.begin();
    } else {
        csvHeader(out);
    }
    WriteRowBlocks(
        out, rows, options.threads,
        [&format, json](TextOutput& to, const RowBlock& block) { return format(to, block, json); });
    if (json) {
        document.end(counters, options.hideSpam, options.fields);
    }
}

void WriteSites(const ScanOptions& options, const std::vector<Site>& sites,
                const ScanCounters& counters, BlockWriter& writer) {
    WriteTable(options, sites.size(), counters, writer, AppendSiteCsvHeader,
               [&sites](TextOutput& to, const RowBlock& block, bool json) {
                   if (json) {
                       return JsonResultsWriter(to).siteRows(sites, block);
                   }
                   return AppendSiteCsvRows(to, sites, block);
               });
}

// The rows of the sources or the search keywords view, as WriteSites writes
// those of the sites.
template <typename Row>
void WriteGrouped(const ScanOptions& options, const std::vector<Row>& rows,
                  const ScanCounters& counters, BlockWriter& writer, void (*csvHeader)(TextOutput&),
                  std::size_t (*csvRows)(TextOutput&, const std::vector<Row>&, const RowBlock&),
                  std::size_t (*jsonRows)(TextOutput&, const std::vector<Row>&, const RowBlock&)) {
    WriteTable(options, rows.size(), counters, writer, csvHeader,
               [&](TextOutput& to, const RowBlock& block, bool json) {
                   return json ? jsonRows(to, rows, block) : csvRows(to, rows, block);
               });
}

// The rows go out straight from the list, cell by cell: no row is built.
void WriteRows(const ScanOptions& options, const WorkList& list, const ScanCounters& counters,
               BlockWriter& writer) {
    if (options.format == OutputFormat::None) {
        return;
    }
    // The rows may be formatted on several threads at once, all reading the
    // list. It works out its order lazily, on the first read after a change:
    // taking a reader here does that before any thread starts, and nothing
    // changes the list until WriteRowBlocks returns, so they only read.
    list.reader();
    const bool typeCodes = options.typeCodes;
    WriteTable(options, list.size(), counters, writer, AppendCsvHeader,
               [&list, typeCodes](TextOutput& to, const RowBlock& block, bool json) {
                   if (json) {
                       return JsonResultsWriter(to).rows(list, typeCodes, block);
                   }
                   return AppendCsvRows(to, list, typeCodes, block);
               });
}

// The scan options as the report names them.
ReportOptions ReportOptionsOf(const ScanOptions& options) {
    ReportOptions report;
    report.ownDomain = options.domain;
    report.collapse = options.removeDupes;
    report.typeCodes = options.typeCodes;
    report.https = options.httpsReferrers;
    report.quoted = options.quotedReferrers;
    report.hideSpam = options.hideSpam;
    report.spamList = options.spamListPath.value_or("");
    report.fields = options.fields;
    report.noCrawlers = options.noCrawlers;
    report.crawlerList = options.crawlerListPath.value_or("");
    return report;
}

bool RangeFinishesFile(FileSystem& fs, const std::string& path, const ByteRange& range) {
    return PieceFinishesFile(fs.status(path).size, range.start, range.end);
}

}  // namespace

void Complain(std::FILE* err, const std::string& what, const std::string& reason) {
    const std::string line =
        "tallowby-scan: " + EscapeControlBytes(what) + ": " + EscapeControlBytes(reason) + "\n";
    std::fputs(line.c_str(), err);
}

bool OutputsSpareInputs(const ScanOptions& options, FileSystem& fs, const CommandIo& io) {
    // The outputs are written where their paths point ("-" too); the
    // inputs are read from `fs`, in which "-" may be standard input.
    FileSystem& written = io.fs ? *io.fs : RealFileSystem();
    std::vector<std::string> inputs = options.files;
    if (options.spamListPath && !options.merge) {
        inputs.push_back(*options.spamListPath);
    }
    if (options.crawlerListPath && !options.merge) {
        inputs.push_back(*options.crawlerListPath);
    }
    if (options.sourceListsDir) {
        for (std::string& path : SourceListPaths(*options.sourceListsDir)) {
            inputs.push_back(std::move(path));
        }
    }
    const std::pair<const char*, const std::optional<std::string>&> outputs[] = {
        {"--html", options.htmlPath},
        {"--report", options.reportPath},
        {"--partial", options.partialPath}};
    for (const auto& [option, path] : outputs) {
        if (!path) {
            continue;
        }
        const std::ptrdiff_t same = FindSameFile(written.status(*path), fs, inputs);
        if (same >= 0) {
            const std::string& input = inputs[static_cast<std::size_t>(same)];
            Complain(io.err, *path,
                     std::string(option) + " would replace the input " +
                         (input == kStdinName ? "- (standard input)" : input) +
                         "; nothing was read or written");
            std::fflush(io.err);
            return false;
        }
    }
    return true;
}

bool LoadSourcesOption(const ScanOptions& options, FileSystem& fs, const CommandIo& io,
                       std::optional<SourceLists>& lists) {
    if (!options.sourceListsDir) {
        return true;
    }
    std::string error;
    lists = LoadSourceLists(fs, *options.sourceListsDir, error);
    if (!lists) {
        Complain(io.err, *options.sourceListsDir, "cannot read the lists of sources: " + error);
        std::fflush(io.err);
        return false;
    }
    return true;
}

int RunScanCommand(const ScanOptions& options, const CommandIo& io) {
    if (options.merge) {
        return RunMergeCommand(options, io);
    }
    StdinFileSystem stdinFs(io.fs ? *io.fs : RealFileSystem(), io.stdinFd);
    if (!OutputsSpareInputs(options, stdinFs, io)) {
        return kExitUsage;
    }
    std::optional<RangeFileSystem> ranged;
    if (options.range) {
        ranged.emplace(stdinFs, options.files.front(), options.range->start, options.range->end);
    }
    FileSystem& fs = ranged ? static_cast<FileSystem&>(*ranged) : stdinFs;
    Scanner scanner(fs);
    scanner.setThreads(options.threads);
    std::unique_ptr<ProgressLine> progress;
    if (io.progress && !options.quiet) {
        progress =
            std::make_unique<ProgressLine>(io.err, io.terminalWidth, ProgressLine::Clock::now());
    }
    std::optional<SpamList> loadedSpam;
    if (options.spamListPath) {
        // Checked before any reading: a scan without the asked-for filter
        // would print spam as if it were not.
        std::string error;
        loadedSpam = LoadSpamList(fs, *options.spamListPath, error);
        if (!loadedSpam) {
            Complain(io.err, *options.spamListPath, "cannot read the spam list: " + error);
            std::fflush(io.err);
            return kExitFileProblem;
        }
    }
    std::optional<SourceLists> sources;
    if (!LoadSourcesOption(options, fs, io, sources)) {
        return kExitFileProblem;
    }
    // The built-in list is built on first use: only a run that hides spam pays for it.
    const SpamList* spam = nullptr;
    if (options.hideSpam) {
        spam = loadedSpam ? &*loadedSpam : &SpamList::Builtin();
    }
    // With --fields, crawlers are told (and counted) by the built-in list or
    // the --crawlers file, read before any log: a scan that was asked to
    // leave crawlers out must not list them for want of its list.
    std::optional<CrawlerList> loadedCrawlers;
    if (options.fields && options.crawlerListPath) {
        std::string error;
        loadedCrawlers = LoadCrawlerList(fs, *options.crawlerListPath, error);
        if (!loadedCrawlers) {
            Complain(io.err, *options.crawlerListPath, "cannot read the crawler list: " + error);
            std::fflush(io.err);
            return kExitFileProblem;
        }
    }
    const CrawlerCheck* crawlers = nullptr;
    if (options.fields) {
        crawlers = loadedCrawlers ? &*loadedCrawlers : &CrawlerList::Builtin();
    }
    // Only the lines of one file are read for the fields a piece starts with.
    const W3cFields pieceW3c =
        options.fields && options.range
            ? W3cFieldsBeforePiece(options.files.front(), options.range->start)
            : W3cFields{};
    CliHost host(options, scanner.counters(), spam, io.err, progress.get(), crawlers, pieceW3c);
    // Reading the built-in lists of sources takes some milliseconds: done
    // on a thread of its own while the scan runs (or after it, when no
    // thread can be started).
    std::thread builtinLists;
    if ((options.bySource || options.keywords || options.reportPath) && !sources) {
        try {
            builtinLists = std::thread([hideSpam = options.hideSpam] {
                SourceLists::Builtin();
                SpamListForSources(hideSpam);
            });
        } catch (const std::system_error&) {
        }
    }
    scanner.run(host, host);
    if (builtinLists.joinable()) {
        builtinLists.join();
    }
    if (progress) {
        progress->erase();
    }
    const int status = host.hadFileProblem() ? kExitFileProblem : kExitOk;

    ScanOutputs results{scanner.workList(), {}};
    results.sources = sources ? &*sources : nullptr;
    results.summary.options = PartialOptionsOf(options);
    results.summary.collapsed = options.removeDupes;
    results.summary.inputsIncomplete = host.hadFileProblem();
    results.summary.counters = scanner.counters();
    results.summary.counters.cancelRequested = false;
    results.summary.spamHidden = scanner.counters().spamHidden;
    results.summaryNote = SkippedLinesNote(loadedSpam ? &*loadedSpam : nullptr);
    // Only the piece that finishes its file counts it as done, so the
    // pieces of one file count it once.
    if (options.range && results.summary.counters.filesDone > 0 &&
        !RangeFinishesFile(fs, options.files.front(), *options.range)) {
        --results.summary.counters.filesDone;
    }
    return WriteScanOutputs(options, results, fs, io, status);
}

std::vector<std::string> PartialOptionsOf(const ScanOptions& options) {
    auto value = [](const ScanOptionName& option, const std::string& text) {
        return std::string(option.partialKey) + "=" + text;
    };
    auto flag = [&](const ScanOptionName& option, bool on) {
        return value(option, on ? "1" : "0");
    };
    std::vector<std::string> recorded = {
        value(kOwnDomainOption, options.domain), flag(kRemoveDupesOption, options.removeDupes),
        flag(kTypeCodesOption, options.typeCodes), flag(kHttpsOption, options.httpsReferrers),
        flag(kQuotedOption, options.quotedReferrers)};
    // Spam hiding is recorded only when on, so partials made without it read
    // as before; the list used is named by its file (or "built-in").
    if (options.hideSpam) {
        recorded.push_back(value(kHideSpamOption, options.spamListPath.value_or("built-in")));
    }
    // So are the field options, only when on.
    if (options.fields) {
        recorded.push_back(flag(kFieldsOption, true));
        if (options.noCrawlers) {
            recorded.push_back(
                value(kNoCrawlersOption, options.crawlerListPath.value_or("built-in")));
        }
    }
    return recorded;
}

int WriteScanOutputs(const ScanOptions& options, const ScanOutputs& results, FileSystem& fs,
                     const CommandIo& io, int status) {
    BlockWriter writer(io.out);
    ScanCounters counters = results.summary.counters;
    counters.spamHidden = results.summary.spamHidden;
    std::vector<Site> sites;
    std::vector<SourceRow> sources;
    std::vector<KeywordRow> keywords;
    // Sources and keywords: the lists read, else the built-in ones (read
    // only then).
    const auto lists = [&results]() -> const SourceLists& {
        return results.sources ? *results.sources : SourceLists::Builtin();
    };
    if (options.bySite) {
        sites = GroupBySite(results.list);
        WriteSites(options, sites, counters, writer);
    } else if (options.bySource) {
        sources = GroupBySource(results.list, lists(), SpamListForSources(options.hideSpam));
        WriteGrouped(options, sources, counters, writer, AppendSourceCsvHeader, AppendSourceCsvRows,
                     AppendSourceJsonRows);
    } else if (options.keywords) {
        keywords = GroupByKeyword(results.list, lists(), SpamListForSources(options.hideSpam));
        WriteGrouped(options, keywords, counters, writer, AppendKeywordCsvHeader,
                     AppendKeywordCsvRows, AppendKeywordJsonRows);
    } else {
        WriteRows(options, results.list, counters, writer);
    }
    if (!writer.finish()) {
        Complain(io.err, "standard output", writer.error());
        status = kExitFileProblem;
    }

    if (options.htmlPath) {
        const std::string& path = *options.htmlPath;
        const ExportResult result =
            options.bySite     ? WriteSitesPage(fs, path, sites)
            : options.bySource ? WriteSourcesPage(fs, path, sources, results.list)
            : options.keywords ? WriteKeywordsPage(fs, path, keywords, results.list)
                               : WriteExportPage(fs, path, results.list);
        if (!result.ok) {
            Complain(io.err, *options.htmlPath, "cannot write: " + result.error);
            status = kExitFileProblem;
        }
    }

    if (options.reportPath) {
        if (!options.bySite) {
            sites = GroupBySite(results.list);
        }
        // The report holds the sources and keywords views as well.
        if (!options.bySource) {
            sources = GroupBySource(results.list, lists(), SpamListForSources(options.hideSpam));
        }
        if (!options.keywords) {
            keywords = GroupByKeyword(results.list, lists(), SpamListForSources(options.hideSpam));
        }
        ReportInput report{results.list, sites, counters, ReportOptionsOf(options)};
        report.moreSections = SourceSections(sources, keywords);
        report.threads = options.threads;
        const ExportResult result = WriteReport(fs, *options.reportPath, report);
        if (!result.ok) {
            Complain(io.err, *options.reportPath, "cannot write: " + result.error);
            status = kExitFileProblem;
        }
    }

    if (options.partialPath) {
        const PartialFileResult result =
            WritePartial(fs, *options.partialPath, results.summary, results.list);
        if (!result.ok) {
            Complain(io.err, *options.partialPath, "cannot write: " + result.error);
            status = kExitFileProblem;
        }
    }

    if (!options.quiet) {
        std::string summary = CompleteStatusText(results.summary.counters);
        if (options.fields) {
            const std::string fields =
                FieldStatisticsText(results.summary.counters.fields, options.noCrawlers, " : ");
            if (!fields.empty()) {
                summary += " : " + fields;
            }
        }
        summary += results.summaryNote + "\n";
        std::fputs(summary.c_str(), io.err);
    }
    std::fflush(io.err);
    return status;
}

}  // namespace tallowby::cli
