#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tallowby::cli {

// Step 1: the command line as given, split into options and file names but
// not yet checked against each other.
struct RawOptions {
    std::optional<std::string> domain;
    std::optional<std::string> format;
    std::optional<std::string> html;
    std::optional<std::string> report;
    std::optional<std::string> spamList;
    std::optional<std::string> partial;
    std::optional<std::string> range;
    std::optional<std::string> threads;
    std::optional<std::string> crawlers;
    std::optional<std::string> sources;
    bool merge = false;
    bool noDupes = false;
    bool noTypes = false;
    bool https = false;
    bool quoted = false;
    bool bySite = false;
    bool bySource = false;
    bool keywords = false;
    bool hideSpam = false;
    bool fields = false;
    bool noCrawlers = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::vector<std::string> files;
    // Problems found while splitting: unknown options, missing values.
    std::vector<std::string> errors;
};

// Splits argv[1..]. Accepts "--opt VALUE", "--opt=VALUE", "-d VALUE" and
// "-dVALUE"; "--" ends the options; "-" alone is a file name (standard input).
RawOptions ParseCommandLine(const std::vector<std::string>& args);

enum class OutputFormat { Csv, Json, None };

// The piece of one file that --range scans: the lines that begin at a byte
// offset in [start, end).
struct ByteRange {
    std::uint64_t start = 0;
    std::uint64_t end = UINT64_MAX;  // no END given: to the end of the file
};

// Step 2: what a scan receives, checked and with defaults filled in.
struct ScanOptions {
    std::string domain;
    bool removeDupes = true;  // the first-run defaults of the window
    bool typeCodes = true;
    bool httpsReferrers = false;   // "https://" addresses are referrers too
    bool quotedReferrers = false;  // a quoted referrer ends at its closing quote
    bool bySite = false;           // one row per referring site instead of per referrer
    bool bySource = false;         // one row per source (search engine, website, ...)
    bool keywords = false;         // one row per search engine and keyword
    // A folder with newer copies of the lists of sources than the built-in ones.
    std::optional<std::string> sourceListsDir;
    bool hideSpam = false;  // leave out referrers from known spam hosts
    // A list of spam hosts to use instead of the built-in one; implies hideSpam.
    std::optional<std::string> spamListPath;
    // The referrer field of known log formats instead of the written rules.
    bool fields = false;
    bool noCrawlers = false;  // with `fields`: leave out crawlers' lines
    // A crawler list to use instead of the built-in one (with `fields`).
    std::optional<std::string> crawlerListPath;
    OutputFormat format = OutputFormat::Csv;
    std::optional<std::string> htmlPath;
    std::optional<std::string> reportPath;   // also write the report page there
    std::optional<std::string> partialPath;  // also write a partial result there
    std::optional<ByteRange> range;          // scan only this piece of the one file
    // The files are partial results to merge, in the order of their inputs.
    bool merge = false;
    // With `merge`: the scan options above were given and must match the
    // partials'; otherwise they are taken from the partials.
    bool scanOptionsGiven = false;
    bool quiet = false;
    unsigned threads = 0;            // threads that match lines and format rows; 0: one per core
    std::vector<std::string> files;  // in the order given; "-" is standard input
};

enum class Action { Scan, Help, Version, Usage };

struct Validated {
    Action action = Action::Usage;
    ScanOptions options;  // meaningful when action is Scan
    std::string error;    // meaningful when action is Usage
};

// Checks the raw options: --help and --version win over everything else;
// otherwise a non-empty --domain, a known --format, at least one file and
// standard input named at most once are required.
Validated ValidateOptions(const RawOptions& raw);

// Texts for the user.
std::string UsageText();    // the one-line synopsis and a pointer to --help
std::string HelpText();     // options and exit codes
std::string VersionText();  // "tallowby-scan (<product>) <version>"

// Exit statuses, documented in HelpText() and the README.
// The most --threads accepts.
inline constexpr unsigned kMaxThreads = 64;

inline constexpr int kExitOk = 0;
inline constexpr int kExitFileProblem = 1;
inline constexpr int kExitUsage = 2;

}  // namespace tallowby::cli
