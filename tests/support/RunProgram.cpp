#include "RunProgram.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tallowby::testing {

namespace {

// A temporary file that is gone when this goes out of scope.
struct TempFile {
    std::string path;
    int fd = -1;
    TempFile() {
        char name[] = "/tmp/tallowby-cli-XXXXXX";
        fd = ::mkstemp(name);
        path = name;
    }
    ~TempFile() {
        if (fd >= 0) {
            ::close(fd);
        }
        ::unlink(path.c_str());
    }
    std::string contents() const {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

}  // namespace

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workDir, const std::string& input) {
    // Files rather than pipes: no deadlock however much the program writes.
    TempFile in, out, err;
    if (!input.empty() &&
        ::write(in.fd, input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
        return {};
    }
    ::lseek(in.fd, 0, SEEK_SET);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);

    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in.fd, 0);
        ::dup2(out.fd, 1);
        ::dup2(err.fd, 2);
        if (::chdir(workDir.c_str()) != 0) {
            ::_exit(126);
        }
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ProgramResult result;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    }
    result.out = out.contents();
    result.err = err.contents();
    return result;
}

}  // namespace tallowby::testing
