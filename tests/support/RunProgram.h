#pragma once

// Runs a program as a test's child and collects what it wrote: for the
// command-line tests, the compressors the tests pack logs with, and hang
// guards around programs fed with things that are not files.

#include <string>
#include <vector>

namespace tallowby::testing {

struct ProgramResult {
    int exitStatus = -1;     // -1 when the program did not exit normally
    int signal = 0;          // the signal that ended it, if one did
    long peakKilobytes = 0;  // the most memory it held at once (resident set)
    std::string out;
    std::string err;
    int pipeBytes = 0;  // with ProgramRun::outThroughPipe, what the pipe held at most at the end
};

struct ProgramRun {
    std::string workDir = "/";             // the program's working folder
    std::string input;                     // its standard input, unless `stdinPath` is given
    std::string stdinPath;                 // a path opened as standard input (may be a FIFO)
    unsigned deadlineSeconds = 0;          // when not 0, the program is killed (SIGALRM) after this
    std::vector<std::string> environment;  // "NAME=value" set on top of the test's own
    // Standard error is a terminal of 80 columns (passing bytes as written),
    // or standard output a pipe, read 4 KB at a time until the program closes
    // it. Not both at once.
    bool errOnTerminal = false;
    bool outThroughPipe = false;
};

// Runs `program` with `args` as `run` says. Output goes through files, so the
// program never blocks however much it writes.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const ProgramRun& run);

// The common cases of the above.
inline ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::string& workDir, const std::string& input = {}) {
    ProgramRun run;
    run.workDir = workDir;
    run.input = input;
    return RunProgram(program, args, run);
}
inline ProgramResult RunWithDeadline(const std::string& program,
                                     const std::vector<std::string>& args, unsigned deadlineSeconds,
                                     const std::string& stdinPath = "/dev/null") {
    ProgramRun run;
    run.stdinPath = stdinPath;
    run.deadlineSeconds = deadlineSeconds;
    return RunProgram(program, args, run);
}

// `text` compressed by /usr/bin/<tool> -c (gzip, bzip2, xz, zstd), with
// `option` (such as "-1") when given. A tool that fails ends the test
// program with its message: nothing compressed can be tested without it.
std::string Packed(const std::string& tool, const std::string& text,
                   const std::string& option = {});

}  // namespace tallowby::testing
