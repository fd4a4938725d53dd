// tallowby-scan: the command-line front end of the scan engine.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/ProgressLine.h"
#include "cli/ScanCommand.h"
#include "engine/match/ShownText.h"
#include "engine/scan/HeapTuning.h"

int main(int argc, char** argv) {
    using namespace tallowby::cli;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const Validated v = ValidateOptions(ParseCommandLine(args));
    switch (v.action) {
        case Action::Help:
            std::fputs(HelpText().c_str(), stdout);
            return std::fflush(stdout) == 0 ? kExitOk : kExitFileProblem;
        case Action::Version:
            std::fputs(VersionText().c_str(), stdout);
            return std::fflush(stdout) == 0 ? kExitOk : kExitFileProblem;
        case Action::Usage:
            std::fprintf(stderr, "tallowby-scan: %s\n%s",
                         tallowby::EscapeControlBytes(v.error).c_str(), UsageText().c_str());
            return kExitUsage;
        case Action::Scan:
            break;
    }
    tallowby::ServeLargeBlocksFromTheHeap();
    CommandIo io;
    io.terminalWidth = TerminalWidth(STDERR_FILENO);
    io.progress = io.terminalWidth > 0;
    return RunScanCommand(v.options, io);
}
