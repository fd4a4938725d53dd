#include "RunProgram.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "TempDir.h"

namespace tallowby::testing {

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const ProgramRun& run) {
    TempDir io;
    const std::string inPath = run.stdinPath.empty() ? io.write("in", run.input) : run.stdinPath;
    const std::string outPath = io.file("out");
    const std::string errPath = io.file("err");
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);

    ProgramResult result;
    int ends[2] = {-1, -1};  // of the pipe for standard output, when it goes through one
    if (run.outThroughPipe && ::pipe2(ends, O_CLOEXEC) != 0) {
        return result;
    }
    std::fflush(nullptr);
    int terminal = -1;  // this side of the child's standard error, when that is a terminal
    struct winsize columns = {24, 80, 0, 0};  // rows, columns
    const pid_t pid =
        run.errOnTerminal ? ::forkpty(&terminal, nullptr, nullptr, &columns) : ::fork();
    if (pid == 0) {
        // Non-blocking only for the open: a FIFO without a writer must not
        // hold the child here, before the program could show what it does.
        const int in = ::open(inPath.c_str(), O_RDONLY | O_NONBLOCK);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || ::chdir(run.workDir.c_str()) != 0) {
            ::_exit(126);
        }
        ::fcntl(in, F_SETFL, ::fcntl(in, F_GETFL) & ~O_NONBLOCK);
        ::dup2(in, 0);
        ::dup2(run.outThroughPipe ? ends[1] : out, 1);
        struct termios mode = {};
        if (!run.errOnTerminal) {
            ::dup2(err, 2);
        } else if (::tcgetattr(2, &mode) == 0) {
            ::cfmakeraw(&mode);  // no CR put before each LF
            ::tcsetattr(2, TCSANOW, &mode);
        }
        for (const std::string& variable : run.environment) {
            ::putenv(const_cast<char*>(variable.c_str()));  // the child's own copy of the list
        }
        if (run.deadlineSeconds != 0) {
            ::signal(SIGALRM, SIG_DFL);
            ::alarm(run.deadlineSeconds);  // survives exec: the program is killed if it hangs
        }
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    // The terminal or pipe, read until the child's side is closed (EOF, or
    // EIO from a terminal): by then the program has ended.
    const int reading = run.outThroughPipe ? ends[0] : terminal;
    std::string read;
    if (reading >= 0) {
        if (ends[1] >= 0) {
            ::close(ends[1]);
        }
        char buffer[4096];
        for (ssize_t n;
             (n = ::read(reading, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR);) {
            read.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        }
        result.pipeBytes = run.outThroughPipe ? ::fcntl(reading, F_GETPIPE_SZ) : 0;
        ::close(reading);
    }
    int status = 0;
    struct rusage usage = {};
    if (pid > 0 && ::wait4(pid, &status, 0, &usage) == pid) {
        result.peakKilobytes = usage.ru_maxrss;
        if (WIFEXITED(status)) {
            result.exitStatus = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            result.signal = WTERMSIG(status);
        }
    }
    result.out = run.outThroughPipe ? read : ReadWhole(outPath);
    result.err = run.errOnTerminal ? read : ReadWhole(errPath);
    return result;
}

std::string Packed(const std::string& tool, const std::string& text, const std::string& option) {
    std::vector<std::string> args = {"-c"};
    if (!option.empty()) {
        args.push_back(option);
    }
    const ProgramResult r = RunProgram("/usr/bin/" + tool, args, "/", text);
    if (r.exitStatus != 0) {
        // Without the tool no compressed input can be made: no test can pass.
        std::fprintf(stderr, "/usr/bin/%s -c failed (status %d): %s\n", tool.c_str(), r.exitStatus,
                     r.err.c_str());
        std::abort();
    }
    return r.out;
}

}  // namespace tallowby::testing
