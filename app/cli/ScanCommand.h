#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "engine/classify/SourceLists.h"
#include "engine/read/FileSystem.h"
#include "engine/tally/Partial.h"
#include "engine/tally/ScanTypes.h"
#include "engine/tally/WorkList.h"

namespace tallowby::cli {

// Where a scan command reads and writes.
struct CommandIo {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    int stdinFd = 0;
    bool progress = false;  // draw the progress indicator on `err` (a terminal)
    int terminalWidth = 80;
    FileSystem* fs = nullptr;  // null: the real file system
};

// Runs one scan as the options say: rows on `out` (CSV or JSON), the export
// page when asked, file problems and the summary line on `err`. Returns the
// exit status: kExitOk, or kExitFileProblem when a file could not be read or
// an output could not be written (everything else is still done).
// With options.merge, runs RunMergeCommand instead.
int RunScanCommand(const ScanOptions& options, const CommandIo& io);

// Reads the partial results named by options.files, merges them and writes
// what one scan of all their inputs writes. A partial that cannot be read,
// is damaged, or was made with other options (than the first one, or than
// the scan options given) is named on `err` and ends the run with
// kExitUsage before anything is written, as does an output file that is
// one of the partials. kExitFileProblem when an input of a partial could
// not be read, or an output could not be written.
int RunMergeCommand(const ScanOptions& options, const CommandIo& io);

// What a scan or a merge leaves for output: the rows are written straight
// from the list, with the type codes that options.typeCodes asks for.
struct ScanOutputs {
    const WorkList& list;
    PartialSummary summary;        // counters and what a partial of it records
    std::string summaryNote = {};  // said after the summary line's figures
    // The lists --by-source and --keywords group by; null: the built-in ones.
    const SourceLists* sources = nullptr;
};

// Reads the lists of sources that options.sourceListsDir names into
// `lists`. True when there is none to read or they were read; otherwise
// names the folder and the reason on io.err: nothing must be read or
// written then (exit status kExitFileProblem).
bool LoadSourcesOption(const ScanOptions& options, FileSystem& fs, const CommandIo& io,
                       std::optional<SourceLists>& lists);

// Writes the rows on io.out, the export page, the partial result and the
// summary line as `options` ask. Returns `status`, or kExitFileProblem when
// an output could not be written (named on io.err).
int WriteScanOutputs(const ScanOptions& options, const ScanOutputs& results, FileSystem& fs,
                     const CommandIo& io, int status);

// True when no output file (--html, --report, --partial) names one of the files the
// command reads from `fs`: its logs, standard input's file, the spam list
// or, with --merge, its partials (through any spelling or link). Otherwise
// names both on io.err and returns false: nothing must be read or written
// then.
bool OutputsSpareInputs(const ScanOptions& options, FileSystem& fs, const CommandIo& io);

// The scan options as a partial result records them.
std::vector<std::string> PartialOptionsOf(const ScanOptions& options);

// "tallowby-scan: WHAT: REASON" on `err`.
void Complain(std::FILE* err, const std::string& what, const std::string& reason);

}  // namespace tallowby::cli
