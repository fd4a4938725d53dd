#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tallowby {

// A selected file that a scan could not read whole: not opened, or cut
// short by a read error (a damaged compressed file, a full work list).
struct FileFailure {
    std::string name;  // the file's name, control bytes escaped
    std::string what;  // "read error: truncated gzip data", as the command line says it
};

// At most this many files are named; the rest are counted.
inline constexpr std::size_t kNamedFailures = 20;

// What follows the "COMPLETE: " status text: nothing when every file was read
// whole, else " : 1 file not read whole: a.gz (read error: ...)", the files
// named one after the other, separated by ", ".
std::string FailuresStatusText(const std::vector<FileFailure>& failures);

// What follows the statistics in the "Scan Finished" box: nothing when every
// file was read whole, else a blank line, "Not read whole:" and one line
// "name: what" per file (CR LF between lines, none after the last).
std::string FailuresMessageText(const std::vector<FileFailure>& failures);

// The same for the files passed over as pages of the program's own (an
// export page, a report): nothing when there were none, else for the status
// text " : skipped, not a log: referers.html, report.html", and for the box
// a blank line, "Skipped, not a log (a page this program writes):" and one
// name a line. At most kNamedFailures names; the rest are counted.
std::string SkippedPagesStatusText(const std::vector<std::string>& names);
std::string SkippedPagesMessageText(const std::vector<std::string>& names);

}  // namespace tallowby
