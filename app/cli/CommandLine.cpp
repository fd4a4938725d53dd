#include "CommandLine.h"

#include <string>
#include <string_view>

#include "cli/BuildInfo.h"
#include "engine/scan/ScanOptionNames.h"

namespace tallowby::cli {

namespace {

enum class Kind { Flag, Value };

struct OptionInfo {
    std::string_view longName;
    char shortName;  // 0 when there is none
    Kind kind;
};

constexpr OptionInfo kOptions[] = {
    {kOwnDomainOption.flag, 'd', Kind::Value},
    {"format", 0, Kind::Value},
    {"html", 0, Kind::Value},
    {"report", 0, Kind::Value},
    {kRemoveDupesOption.flag, 0, Kind::Flag},
    {kTypeCodesOption.flag, 0, Kind::Flag},
    {kHttpsOption.flag, 0, Kind::Flag},
    {kQuotedOption.flag, 0, Kind::Flag},
    {"quiet", 'q', Kind::Flag},
    {"help", 'h', Kind::Flag},
    {"version", 0, Kind::Flag},
    {"by-site", 0, Kind::Flag},
    {"by-source", 0, Kind::Flag},
    {"keywords", 0, Kind::Flag},
    {kSourceListsOption.flag, 0, Kind::Value},
    {kHideSpamOption.flag, 0, Kind::Flag},
    {kSpamListOption.flag, 0, Kind::Value},
    {kFieldsOption.flag, 0, Kind::Flag},
    {kNoCrawlersOption.flag, 0, Kind::Flag},
    {kCrawlerListOption.flag, 0, Kind::Value},
    {"partial", 0, Kind::Value},
    {"merge", 0, Kind::Flag},
    {"range", 0, Kind::Value},
    {"threads", 0, Kind::Value},
};

const OptionInfo* FindLong(std::string_view name) {
    for (const OptionInfo& o : kOptions) {
        if (o.longName == name) {
            return &o;
        }
    }
    return nullptr;
}

const OptionInfo* FindShort(char name) {
    for (const OptionInfo& o : kOptions) {
        if (o.shortName != 0 && o.shortName == name) {
            return &o;
        }
    }
    return nullptr;
}

void Store(RawOptions& raw, const OptionInfo& o, std::string value) {
    const std::string_view n = o.longName;
    if (n == kOwnDomainOption.flag)
        raw.domain = std::move(value);
    else if (n == "format")
        raw.format = std::move(value);
    else if (n == "html")
        raw.html = std::move(value);
    else if (n == "report")
        raw.report = std::move(value);
    else if (n == kRemoveDupesOption.flag)
        raw.noDupes = true;
    else if (n == kTypeCodesOption.flag)
        raw.noTypes = true;
    else if (n == kHttpsOption.flag)
        raw.https = true;
    else if (n == kQuotedOption.flag)
        raw.quoted = true;
    else if (n == "by-site")
        raw.bySite = true;
    else if (n == "by-source")
        raw.bySource = true;
    else if (n == "keywords")
        raw.keywords = true;
    else if (n == kSourceListsOption.flag)
        raw.sources = std::move(value);
    else if (n == kHideSpamOption.flag)
        raw.hideSpam = true;
    else if (n == kSpamListOption.flag)
        raw.spamList = std::move(value);
    else if (n == kFieldsOption.flag)
        raw.fields = true;
    else if (n == kNoCrawlersOption.flag)
        raw.noCrawlers = true;
    else if (n == kCrawlerListOption.flag)
        raw.crawlers = std::move(value);
    else if (n == "quiet")
        raw.quiet = true;
    else if (n == "help")
        raw.help = true;
    else if (n == "version")
        raw.version = true;
    else if (n == "partial")
        raw.partial = std::move(value);
    else if (n == "merge")
        raw.merge = true;
    else if (n == "range")
        raw.range = std::move(value);
    else if (n == "threads")
        raw.threads = std::move(value);
}

// Digits only, no sign, no overflow.
bool ParseOffset(std::string_view text, std::uint64_t& value) {
    if (text.empty() || text.size() > 19) {
        return false;
    }
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

// "START:END" or "START:" (to the end of the file), START <= END.
std::optional<ByteRange> ParseRange(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    ByteRange range;
    if (!ParseOffset(text.substr(0, colon), range.start)) {
        return std::nullopt;
    }
    const std::string_view end = text.substr(colon + 1);
    if (!end.empty() && (!ParseOffset(end, range.end) || range.end < range.start)) {
        return std::nullopt;
    }
    return range;
}

}  // namespace

RawOptions ParseCommandLine(const std::vector<std::string>& args) {
    RawOptions raw;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            raw.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const OptionInfo* info = nullptr;
        std::optional<std::string> inlineValue;
        std::string shown;  // the option as the user wrote it, for messages
        if (arg.rfind("--", 0) == 0) {
            const std::size_t eq = arg.find('=');
            const std::string name = arg.substr(2, eq == std::string::npos ? eq : eq - 2);
            info = FindLong(name);
            shown = "--" + name;
            if (eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
            }
        } else {
            info = FindShort(arg[1]);
            shown = arg.substr(0, 2);
            if (arg.size() > 2) {
                inlineValue = arg.substr(2);
            }
        }
        if (!info) {
            raw.errors.push_back("unknown option '" + shown + "'");
            continue;
        }
        if (info->kind == Kind::Flag) {
            if (inlineValue) {
                raw.errors.push_back("option '" + shown + "' takes no value");
                continue;
            }
            Store(raw, *info, {});
        } else if (inlineValue) {
            Store(raw, *info, *inlineValue);
        } else if (i + 1 < args.size()) {
            Store(raw, *info, args[++i]);
        } else {
            raw.errors.push_back("option '" + shown + "' needs a value");
        }
    }
    return raw;
}

Validated ValidateOptions(const RawOptions& raw) {
    Validated v;
    if (raw.help) {
        v.action = Action::Help;
        return v;
    }
    if (raw.version) {
        v.action = Action::Version;
        return v;
    }
    v.action = Action::Usage;
    if (!raw.errors.empty()) {
        v.error = raw.errors.front();
        return v;
    }
    const bool scanFlags = raw.noDupes || raw.noTypes || raw.https || raw.quoted || raw.hideSpam ||
                           raw.spamList.has_value() || raw.fields || raw.noCrawlers ||
                           raw.crawlers.has_value();
    if (raw.merge && !raw.domain && scanFlags) {
        // Half a set of scan options cannot be checked against the partials'.
        v.error = "with --merge, give --domain with the scan options, or none of them";
        return v;
    }
    if (!raw.domain && !raw.merge) {
        v.error = "the own domain is required: --domain DOMAIN";
        return v;
    }
    if (raw.domain && raw.domain->empty()) {
        // An empty domain is found in every line, so nothing would ever be found.
        v.error = "the own domain must not be empty";
        return v;
    }
    ScanOptions& o = v.options;
    o.domain = raw.domain.value_or("");
    o.merge = raw.merge;
    o.scanOptionsGiven = raw.domain.has_value();
    if (raw.format) {
        if (*raw.format == "csv") {
            o.format = OutputFormat::Csv;
        } else if (*raw.format == "json") {
            o.format = OutputFormat::Json;
        } else if (*raw.format == "none") {
            o.format = OutputFormat::None;
        } else {
            v.error = "unknown format '" + *raw.format + "' (use csv or json)";
            return v;
        }
    }
    if (raw.html) {
        if (raw.html->empty()) {
            v.error = "--html needs a file name";
            return v;
        }
        o.htmlPath = *raw.html;
    }
    if (raw.report) {
        if (raw.report->empty() || *raw.report == "-") {
            v.error = "--report needs a file name";
            return v;
        }
        o.reportPath = *raw.report;
    }
    if (raw.spamList) {
        if (raw.spamList->empty()) {
            v.error = "--spam-list needs a file name";
            return v;
        }
        o.spamListPath = *raw.spamList;
    }
    if ((raw.noCrawlers || raw.crawlers) && !raw.fields) {
        // Crawlers are told by the user-agent field, which only --fields reads.
        v.error = std::string(raw.noCrawlers ? "--no-crawlers" : "--crawlers") +
                  " works with --fields only";
        return v;
    }
    if (raw.crawlers) {
        if (raw.crawlers->empty()) {
            v.error = "--crawlers needs a file name";
            return v;
        }
        o.crawlerListPath = *raw.crawlers;
    }
    if (int{raw.bySite} + int{raw.bySource} + int{raw.keywords} > 1) {
        v.error = "give one of --by-site, --by-source and --keywords";
        return v;
    }
    if (raw.sources) {
        if (!raw.bySource && !raw.keywords && !raw.report) {
            // The report holds the sources and keywords views as well.
            v.error = "--sources works with --by-source, --keywords or --report only";
            return v;
        }
        if (raw.sources->empty()) {
            v.error = "--sources needs a folder name";
            return v;
        }
        o.sourceListsDir = *raw.sources;
    }
    if (raw.partial) {
        if (raw.partial->empty() || *raw.partial == "-") {
            v.error = "--partial needs a file name";
            return v;
        }
        o.partialPath = *raw.partial;
    }
    if (raw.files.empty()) {
        v.error = raw.merge ? "no partial results given to --merge"
                            : "no log files given (use - for standard input)";
        return v;
    }
    if (raw.range) {
        o.range = ParseRange(*raw.range);
        if (!o.range) {
            v.error = "--range needs START:END or START: in bytes, START not after END";
            return v;
        }
        if (raw.merge || raw.files.size() != 1 || raw.files.front() == "-") {
            v.error = "--range scans a piece of exactly one log file (not standard input)";
            return v;
        }
    }
    if (raw.merge) {
        for (const std::string& f : raw.files) {
            if (f == "-") {
                v.error = "--merge reads partial results from files, not standard input";
                return v;
            }
        }
    }
    int stdinCount = 0;
    for (const std::string& f : raw.files) {
        stdinCount += f == "-";
    }
    if (stdinCount > 1) {
        v.error = "standard input (-) can be read only once";
        return v;
    }
    o.removeDupes = !raw.noDupes;
    o.typeCodes = !raw.noTypes;
    o.httpsReferrers = raw.https;
    o.quotedReferrers = raw.quoted;
    o.bySite = raw.bySite;
    o.bySource = raw.bySource;
    o.keywords = raw.keywords;
    o.hideSpam = raw.hideSpam || raw.spamList.has_value();
    o.fields = raw.fields;
    o.noCrawlers = raw.noCrawlers;
    if (raw.threads) {
        std::uint64_t threads = 0;
        if (!ParseOffset(*raw.threads, threads) || threads < 1 || threads > kMaxThreads) {
            v.error = "--threads needs a whole number from 1 to " + std::to_string(kMaxThreads);
            return v;
        }
        o.threads = static_cast<unsigned>(threads);
    }
    o.quiet = raw.quiet;
    o.files = raw.files;
    v.action = Action::Scan;
    return v;
}

std::string UsageText() {
    return "usage: tallowby-scan --domain DOMAIN [--no-dupes] [--no-types] [--format csv|json]\n"
           "                     [--html FILE] [--quiet] FILE...\n"
           "Try 'tallowby-scan --help' for more information.\n";
}

std::string HelpText() {
    return std::string(
        "usage: tallowby-scan --domain DOMAIN [options] FILE...\n"
        "\n"
        "Lists the referring addresses found in web-server log files. A line\n"
        "that contains \"http://\" and does not mention DOMAIN yields one referrer.\n"
        "FILE may be - for standard input.\n"
        "\n"
        "Options:\n"
        "  -d, --domain DOMAIN  the site's own domain; lines naming it are skipped\n"
        "                       (required)\n"
        "      --no-dupes       keep every referring line: no collapse, no clicks\n"
        "      --no-types       leave the Type column empty\n"
        "      --https          also find https:// referrers\n"
        "      --quoted         end a referrer that stands right after a double quote\n"
        "                       at its closing quote (Apache and nginx logs)\n"
        "      --by-site        one row per referring site (its host): Pages,Clicks,Site\n"
        "      --by-source      one row per source (search engine, social network, AI\n"
        "                       assistant, website, spam): Class,Source,Pages,Clicks\n"
        "      --keywords       one row per search engine and search keyword:\n"
        "                       Engine,Keyword,Clicks\n"
        "      --sources DIR    with --by-source, --keywords or --report: read the\n"
        "                       lists of sources (SearchEngines.yml, Socials.yml,\n"
        "                       AIAssistants.yml) from DIR instead of the built-in ones\n"
        "      --hide-spam      leave out referrers from the built-in list of known\n"
        "                       referrer-spam hosts and their subdomains\n"
        "      --spam-list FILE use the spam hosts in FILE (one a line) instead of\n"
        "                       the built-in list; implies --hide-spam\n"
        "      --fields         read the referrer field of known log formats instead of\n"
        "                       the written rules (see \"Log formats\" in the README)\n"
        "      --no-crawlers    with --fields: leave out lines of crawlers' user agents\n"
        "      --crawlers FILE  with --fields: the crawler list to use (JSON)\n"
        "      --format FORMAT  csv (default), json or none, on standard output\n"
        "      --html FILE      also write the referrers as a page of links to FILE\n"
        "      --report FILE    also write a report to FILE: one HTML page with the\n"
        "                       summary, a chart of the sites and every referrer\n"
        "      --partial FILE   also write a partial result to FILE, for --merge\n"
        "      --range START:END  scan only the lines of the one FILE that begin at\n"
        "                       a byte offset from START up to END (END left out:\n"
        "                       to the end of the file)\n"
        "      --merge          the FILEs are partial results, in the order of their\n"
        "                       inputs: write what one scan of all those inputs\n"
        "                       writes (--domain and the scan options may be left out)\n"
        "      --threads N      match lines, and format long outputs, on N threads\n"
        "                       (default: one per core; 1: on the reading thread\n"
        "                       only); the output is the same\n"
        "  -q, --quiet          no summary line and no progress on standard error\n"
        "  -h, --help           show this help and exit\n"
        "      --version        show the version and exit\n"
        "\n"
        "Exit status:\n"
        "  0  every file was scanned and all output was written\n"
        "  1  a file was missing, not a regular file or unreadable, or output\n"
        "     could not be written; the other files were still scanned; or the\n"
        "     file of --spam-list or --crawlers, or a list in the --sources DIR,\n"
        "     could not be read (nothing is scanned then); or a file was a page\n"
        "     this program writes (an export page, --html output, a report),\n"
        "     which is passed over and named on standard error\n"
        "  2  the command line was wrong (for example no --domain, or an output\n"
        "     file that is one of the input files), or a partial given to --merge\n"
        "     was unreadable, damaged or made with other options; then nothing was\n"
        "     written\n");
}

std::string VersionText() {
    return std::string("tallowby-scan (") + build::kProductName + ") " + build::kVersion + "\n";
}

}  // namespace tallowby::cli
