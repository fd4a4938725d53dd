#pragma once

#include <cstdio>

#include "cli/CommandLine.h"
#include "engine/FileSystem.h"

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
int RunScanCommand(const ScanOptions& options, const CommandIo& io);

}  // namespace tallowby::cli
